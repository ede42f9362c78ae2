# Writes a made-up build log of about `megabytes` MB for the kestrel-explain benchmark:
#   awk -v megabytes=10 -f make-build-log.awk > build.log
# Mostly the chatter of a build (banners, file names, command lines) with an error or
# warning of ML, LINK, RC, NMAKE or MIDL on about one line in eight, some naming codes the
# catalogue does not have; CR LF and LF line ends mixed, as in a log gathered from several
# tools. The same size always gives the same bytes.
BEGIN {
    if (megabytes < 1) {
        print "make-build-log.awk: set -v megabytes=N" > "/dev/stderr"
        exit 2
    }
    chatter[0] = "Microsoft (R) Macro Assembler Version 6.15.8803"
    chatter[1] = "Copyright (C) Microsoft Corp 1981-2000.  All rights reserved."
    chatter[2] = " Assembling: src\\module%d.asm"
    chatter[3] = "\tml.exe /c /coff /Cp /nologo /I\"C:\\masm32\\include\" src\\module%d.asm"
    chatter[4] = "\tlink.exe /SUBSYSTEM:WINDOWS /RELEASE /OUT:bin\\app%d.exe obj\\*.obj kernel32.lib user32.lib"
    chatter[5] = "\trc.exe /v /fo res\\app%d.res res\\app.rc"
    chatter[6] = "Writing 'obj\\module%d.obj' (4096 bytes, 37 symbols, 0 relocations)"
    errors[0] = "src\\module%d.asm(112) : error A2008: syntax error : mov"
    errors[1] = "src\\module%d.asm(40) : error A2006: undefined symbol : hInstance"
    errors[2] = "LINK : fatal error LNK1104: cannot open file 'kernel32.lib' (step %d)"
    errors[3] = "module%d.obj : error LNK2001: unresolved external symbol _WinMain@16"
    errors[4] = "res\\app.rc(%d) : error RC2104 : undefined keyword or key name: IDC_STATIC"
    errors[5] = "NMAKE : fatal error U1077: 'ml.exe' : return code '0x%d'"
    errors[6] = "midl\\iface%d.idl(3) : error MIDL2025 : syntax error : expecting a type specification"
    errors[7] = "src\\module%d.asm(9) : warning A9999: a code no tool has"
    limit = megabytes * 1000000
    for (n = 0; written < limit; ++n) {
        if (n % 8 == 7)
            line = sprintf(errors[int(n / 8) % 8], n)
        else
            line = sprintf(chatter[n % 7], n)
        line = line (n % 3 == 0 ? "\r" : "")
        print line
        written += length(line) + 1
    }
}
