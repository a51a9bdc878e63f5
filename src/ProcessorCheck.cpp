// A build for a level of the x86-64 instruction set checks, before any other
// code of the program runs, that the processor has that level; on one without it
// the engine writes one line naming the build to use and exits with status 1,
// instead of dying of an illegal instruction. The build compiles this file for
// the plain x86-64 set, whatever the rest is compiled for, and only in the
// portable and fast x86-64 builds.
#include <cpuid.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct CpuidRegisters {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// Zeros for a leaf the processor does not have
CpuidRegisters Cpuid(unsigned leaf) {
    CpuidRegisters r;
    if (leaf <= unsigned(__get_cpuid_max(leaf & 0x80000000u, nullptr)))
        __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

constexpr unsigned Bit(int n) { return 1u << n; }

bool HasPopcnt() { return Cpuid(1).ecx & Bit(23); }

// What the fast build is compiled for (x86-64-v3): AVX, AVX2, BMI1, BMI2, FMA,
// F16C, LZCNT and MOVBE, with the system saving the vector registers
bool HasLevel3() {
    const unsigned basic = Bit(12) | Bit(22) | Bit(23) | Bit(27) | Bit(28) | Bit(29);   // FMA MOVBE POPCNT OSXSAVE AVX F16C
    const unsigned extended = Bit(3) | Bit(5) | Bit(8);                                  // BMI1 AVX2 BMI2
    if ((Cpuid(1).ecx & basic) != basic || (Cpuid(7).ebx & extended) != extended || !(Cpuid(0x80000001u).ecx & Bit(5)))
        return false;
    unsigned low, high;   // OSXSAVE is set, so the register of enabled states can be read
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 6) == 6;   // SSE and AVX state
}

[[noreturn]] void Refuse(const char* line) {
    std::fputs(line, stdout);
    std::fflush(stdout);
    std::_Exit(1);
}

// Priority 101 runs before every initialiser of the default priority, which the
// compiler may have written with the instructions this checks for
__attribute__((constructor(101))) void RefuseAnUnfitProcessor() {
    if (VARNOK_FAST_BUILD && !HasLevel3())
        Refuse("This build of Varnok (" VARNOK_BUILD_NAME ") needs a processor with AVX2 and BMI2: use "
               VARNOK_FALLBACK_NAME " instead\n");
    if (!HasPopcnt())
        Refuse("This build of Varnok (" VARNOK_BUILD_NAME ") needs a processor with POPCNT: build Varnok"
               " from source on this machine instead\n");
}

}  // namespace
