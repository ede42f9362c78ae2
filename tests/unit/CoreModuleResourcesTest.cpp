// Finding message table 1 in a module file's bytes. The module is a real one, the CVTRES
// module as the build makes it (kept as a fuzzing seed); each case damages one field of it
// and reads it from an exact-size heap copy.
#include "catalogue/MessageTable.h"
#include "catalogue/ModuleResources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes Seed(const char *name)
{
    std::ifstream file(std::string(KESTREL_SOURCE_DIR) + "/tests/fuzz/corpus/FuzzModuleResources/" + name,
                       std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

uint32_t Read16(const Bytes &b, size_t at) { return b[at] | (uint32_t)b[at + 1] << 8; }
uint32_t Read32(const Bytes &b, size_t at) { return Read16(b, at) | Read16(b, at + 2) << 16; }

void Patch(Bytes &b, size_t at, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        b[at + i] = (unsigned char)(value >> (8 * i));
}

struct Found {
    ModuleResourceStatus Status;
    uint32_t Offset, Length;
};

Found Find(const Bytes &b, size_t size)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size > 0 ? size : 1]);
    if (size > 0)
        std::memcpy(copy.get(), b.data(), size);
    Found found = {ModuleResourceFound, 0, 0};
    found.Status = FindMessageTableResource(copy.get(), (uint32_t)size, &found.Offset, &found.Length);
    if (found.Status == ModuleResourceFound)
        EXPECT_LE((uint64_t)found.Offset + found.Length, size);
    return found;
}

void Collect(void *context, uint32_t id) { static_cast<std::vector<uint32_t> *>(context)->push_back(id); }

// Where the fields are in the seed: the PE headers, and the root table of its resources
// at the start of the section named .rsrc.
struct Layout {
    size_t Pe, Optional, ResourceRoot;
    explicit Layout(const Bytes &b)
    {
        Pe = Read32(b, 0x3C);
        Optional = Pe + 24;
        size_t sections = Optional + Read16(b, Pe + 20);
        ResourceRoot = 0;
        for (uint32_t s = 0; s < Read16(b, Pe + 6); ++s)
            if (std::memcmp(&b[sections + 40 * s], ".rsrc", 6) == 0)
                ResourceRoot = Read32(b, sections + 40 * s + 20);
    }
};

} // namespace

TEST(ModuleResources, TheRealModuleAndEveryCutOfIt)
{
    Bytes module = Seed("cvtres");
    ASSERT_GT(module.size(), 1000u);
    Found whole = Find(module, module.size());
    ASSERT_EQ(ModuleResourceFound, whole.Status);
    std::vector<uint32_t> ids;
    WalkMessageTable(module.data() + whole.Offset, whole.Length, Collect, &ids);
    EXPECT_EQ((std::vector<uint32_t>{1100, 1103, 1105, 4001}), ids);

    // Cut anywhere before the end of what it uses, the file is called cut short (or no
    // module, before "MZ" is whole); only the section's zero padding may go.
    for (size_t size = 0; size < module.size(); ++size) {
        Found cut = Find(module, size);
        if (size >= whole.Offset + whole.Length)
            ASSERT_TRUE(cut.Status == ModuleCutShort || (cut.Status == ModuleResourceFound &&
                                                         cut.Offset == whole.Offset && cut.Length == whole.Length))
                << size;
        else
            ASSERT_EQ(size < 2 ? ModuleNotAModule : ModuleCutShort, cut.Status) << size;
    }
    EXPECT_EQ(ModuleNotAModule, FindMessageTableResource(0, 100, &whole.Offset, &whole.Length));
}

TEST(ModuleResources, DamagedFields)
{
    const Bytes module = Seed("cvtres");
    const Layout at(module);
    ASSERT_NE(0u, at.ResourceRoot);
    ASSERT_EQ(11u, Read32(module, at.ResourceRoot + 16)) << "the first type listed is the message table";
    struct Case {
        const char *Name;
        size_t At;
        uint32_t Value;
        int Size;
        ModuleResourceStatus Expected;
    } cases[] = {
        {"no MZ", 0, 'Z' | 'M' << 8, 2, ModuleNotAModule},
        {"PE header beyond the end", 0x3C, 0xFFFFFFF0, 4, ModuleCutShort},
        {"no PE signature", at.Pe + 1, 'X', 1, ModuleNotAModule},
        {"section table beyond the end", at.Pe + 6, 0xFFFF, 2, ModuleCutShort},
        {"optional header beyond the end", at.Pe + 20, 0xFFFF, 2, ModuleCutShort},
        {"optional header too short for its directories", at.Pe + 20, 64, 2, ModuleDamaged},
        {"neither PE32 nor PE32+", at.Optional, 0x107, 2, ModuleDamaged},
        {"no resource directory entry", at.Optional + 92, 2, 4, ModuleNoMessageTable},
        {"resource directory empty", at.Optional + 96 + 20, 0, 4, ModuleNoMessageTable},
        {"resource directory in no section", at.Optional + 96 + 16, 0x7FFF0000, 4, ModuleDamaged},
        {"resource directory longer than its section", at.Optional + 96 + 20, 0x100000, 4, ModuleDamaged},
        {"no type 11", at.ResourceRoot + 16, 12, 4, ModuleNoMessageTable},
        {"type 11 is data, not a table", at.ResourceRoot + 20, 0x10, 4, ModuleDamaged},
        {"type 11's table outside the directory", at.ResourceRoot + 20, 0xFFFFFFF0, 4, ModuleDamaged},
        {"more types listed than the directory holds", at.ResourceRoot + 14, 0xFFFF, 2, ModuleDamaged},
    };
    for (const Case &c : cases) {
        Bytes damaged = module;
        Patch(damaged, c.At, c.Value, c.Size);
        EXPECT_EQ(c.Expected, Find(damaged, damaged.size()).Status) << c.Name;
    }
}

TEST(ModuleResources, EveryStatusHasWords)
{
    for (ModuleResourceStatus status : {ModuleResourceFound, ModuleNotAModule, ModuleCutShort, ModuleDamaged,
                                        ModuleNoMessageTable})
        EXPECT_STRNE("", DescribeModuleResourceStatus(status));
}
