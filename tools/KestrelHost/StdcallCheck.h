// tools/KestrelHost/StdcallCheck.h
// Calls into an add-in's exports with the stack pointer checked. The IDE calls every export
// as __stdcall: the callee takes its arguments off the stack. An export built with another
// convention leaves them there, which a 32-bit caller does not notice until its stack is
// corrupt. CallStdcall makes the call from a frame of its own, measures where the callee left
// the stack pointer, and puts it back, so the mismatch is reported instead of crashing.
// Shared by the stand-in host and the Wine tests' harness.
#pragma once
#include <type_traits>

#if defined(__i386__)
// Pushes `count` 4-byte arguments (arguments[0] last, so it ends up first), calls `function`,
// and stores in *stackOffset the bytes between where the callee left the stack pointer and
// where a __stdcall callee must leave it: 0, or -4 * count when it took nothing off.
extern "C" unsigned long __cdecl KestrelCallStdcall(const void *function, const unsigned long *arguments,
                                                    unsigned long count, long *stackOffset);
#endif

// Calls `function` with `arguments`, each converted to its parameter's type. On 32-bit x86,
// *stackOffset is the offset described above; elsewhere there is one calling convention,
// the call is made directly and *stackOffset is 0.
template <typename Result, typename... Parameters, typename... Arguments>
Result CallStdcall(Result(__stdcall *function)(Parameters...), long *stackOffset, Arguments... arguments)
{
    static_assert(sizeof...(Parameters) == sizeof...(Arguments), "one argument per parameter");
#if defined(__i386__)
    static_assert(((sizeof(Parameters) == 4) && ...), "every parameter of the exports is 4 bytes");
    const unsigned long words[sizeof...(Parameters) + 1] = {(unsigned long)(Parameters)arguments..., 0};
    unsigned long result =
        KestrelCallStdcall((const void *)function, words, (unsigned long)sizeof...(Parameters), stackOffset);
    if constexpr (!std::is_void<Result>::value)
        return (Result)result;
#else
    *stackOffset = 0;
    return function((Parameters)arguments...);
#endif
}
