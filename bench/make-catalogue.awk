# Writes a message source of `count` made-up entries for the code prefix `prefix`, for the
# benchmark's large catalogue:
#   awk -v prefix=LNK -v count=2500 -f make-catalogue.awk > generated.msg
# Numbers are spread over 1 to 99991 (k * 7919 mod 99991 never repeats for k below 99991),
# so labels of one to five digits mix and their string order differs from their numeric
# order, as in the real modules. Each entry's texts are about as long as a real one's.
BEGIN {
    if (prefix == "" || count < 1) {
        print "make-catalogue.awk: set -v prefix=... and -v count=N" > "/dev/stderr"
        exit 2
    }
    for (k = 0; k < count; ++k) {
        id = 1 + (k * 7919) % 99991
        printf "@%s%d %d generated message %d of %d for the benchmark\n", prefix, id, 1 + k % 3, k + 1, count
        print "A made-up entry that gives the catalogue the size of a large tool chain."
        print "Its description is about as long as a real one: a sentence on what went"
        print "wrong, then one on what usually causes it and how to put it right."
        print ""
    }
}
