// The image loader on small images built in memory: where it maps an image, the relocations
// and imports it applies, the protections it sets, and the images it refuses (with the reason
// in one line and nothing left mapped) instead of reading or writing out of bounds.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/image/driver_image.h"
#include "host/image/system_modules.h"
#include "image/pe_builder.h"

namespace image_test {
namespace {

using host::image::DriverImage;

constexpr uint32_t kBoundAddress = 0x12345678;

bool BindEverything(const std::string&, const std::string&, uint32_t* address, std::string*) {
    *address = kBoundAddress;
    return true;
}

// Code, then data whose first word is an absolute address the image must have relocated, then
// two imports of the kernel.
PeBuilder WellFormed() {
    PeBuilder builder;
    builder.Section(".text", kCode, {0xC2, 0x08, 0x00})  // ret 8
        .Section(".data", kData, {0x00, 0x20, 0x01, 0x00, 0xAA, 0xBB, 0xCC, 0xDD})
        .Relocation(1, 0)
        .Import("ntoskrnl.exe", "KeSetEvent")
        .Import("HAL.dll", "KfAcquireSpinLock");
    return builder;
}

std::unique_ptr<DriverImage> Load(const std::vector<uint8_t>& file, std::string* problem,
                                  const host::image::ImportResolver& resolve = BindEverything) {
    return DriverImage::LoadBytes("test.sys", file.data(), file.size(), resolve, problem);
}

// The access of the mapping that holds `address`, as /proc/self/maps gives it ("r-xp"), or "".
std::string AccessAt(const void* address) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    const uintptr_t at = reinterpret_cast<uintptr_t>(address);
    while (std::getline(maps, line)) {
        unsigned long long begin = 0, end = 0;
        char access[5] = {};
        if (std::sscanf(line.c_str(), "%llx-%llx %4s", &begin, &end, access) == 3 && at >= begin &&
            at < end) {
            return access;
        }
    }
    return "";
}

// Bytes of the process's address space, from /proc/self/maps.
unsigned long long MappedBytes() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    unsigned long long total = 0;
    while (std::getline(maps, line)) {
        unsigned long long begin = 0, end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx", &begin, &end) == 2) total += end - begin;
    }
    return total;
}

TEST(ImageLoader, MapsAwayFromThePreferredBaseAndRelocatesByTheDifference) {
    std::string problem;
    auto image = Load(WellFormed().Build(), &problem);
    ASSERT_NE(image, nullptr) << problem;
    EXPECT_NE(image->Base(), kPreferredBase);
    uint32_t word = 0;
    std::memcpy(&word, image->Bytes() + PeBuilder::SectionAddress(1), 4);
    EXPECT_EQ(word, 0x00012000u - kPreferredBase + image->Base()) << "the relocated address";
    std::memcpy(&word, image->Bytes() + PeBuilder::SectionAddress(1) + 4, 4);
    EXPECT_EQ(word, 0xDDCCBBAAu) << "a word no relocation names stays as it was";
}

TEST(ImageLoader, BindsEveryImportSlotByName) {
    PeBuilder builder = WellFormed();
    const std::vector<uint8_t> file = builder.Build();
    std::vector<std::string> asked;
    std::string problem;
    auto image = Load(file, &problem, [&](const std::string& module, const std::string& routine,
                                          uint32_t* address, std::string*) {
        asked.push_back(module + "!" + routine);
        *address = kBoundAddress + static_cast<uint32_t>(asked.size());
        return true;
    });
    ASSERT_NE(image, nullptr) << problem;
    EXPECT_EQ(asked, (std::vector<std::string>{"ntoskrnl.exe!KeSetEvent", "HAL.dll!KfAcquireSpinLock"}));
    for (int n = 0; n < 2; ++n) {
        uint32_t slot = 0;
        std::memcpy(&slot, image->Bytes() + builder.ImportSlot(n), 4);
        EXPECT_EQ(slot, kBoundAddress + n + 1) << "import " << n;
    }
}

TEST(ImageLoader, ProtectsEachSectionAsItsCharacteristicsSay) {
    std::string problem;
    auto image = Load(WellFormed().Build(), &problem);
    ASSERT_NE(image, nullptr) << problem;
    const std::string text = AccessAt(image->Bytes() + PeBuilder::SectionAddress(0));
    EXPECT_EQ(AccessAt(image->Bytes()).substr(0, 2), "r-") << "headers";
    EXPECT_EQ(text.substr(0, 2), "r-");
    EXPECT_EQ(AccessAt(image->Bytes() + PeBuilder::SectionAddress(1)).substr(0, 2), "rw");
#if !defined(__i386__)
    // qemu-user lists the 32-bit build's mappings without their execute permission.
    EXPECT_EQ(text.substr(0, 3), "r-x");
#endif
}

TEST(ImageLoader, UnmapsTheImageWhenDestroyed) {
    std::string problem;
    auto image = Load(WellFormed().Build(), &problem);
    ASSERT_NE(image, nullptr) << problem;
    const uint8_t* text = image->Bytes() + PeBuilder::SectionAddress(0);
    image.reset();
    EXPECT_EQ(AccessAt(text), "");
}

TEST(ImageLoader, NamesTheModuleAndTheRoutineThatCannotBeBoundInOneLine) {
    PeBuilder builder = WellFormed();
    builder.Import("ntoskrnl.exe", "KeFrobnicate");
    std::string problem;
    EXPECT_EQ(Load(builder.Build(), &problem, host::image::ResolveSystemExport), nullptr);
    EXPECT_EQ(problem, "test.sys: imports KeFrobnicate from ntoskrnl.exe, which exports no such "
                       "routine");

    PeBuilder elsewhere = WellFormed();
    elsewhere.Import("ndis.sys", "NdisAllocateMemory");
    EXPECT_EQ(Load(elsewhere.Build(), &problem, host::image::ResolveSystemExport), nullptr);
    EXPECT_NE(problem.find("NdisAllocateMemory from ndis.sys, which is not a system module"),
              std::string::npos) << problem;
}

TEST(ImageLoader, LeavesNothingMappedWhenItRefusesAnImage) {
    // A large image refused at its last import: a mapping left behind would show.
    PeBuilder builder;
    builder.Section(".text", kCode, {0xC3})
        .Section(".data", kData, std::vector<uint8_t>(8 << 20, 1))
        .Relocation(1, 0)
        .Import("ntoskrnl.exe", "KeNoSuchRoutine");
    const std::vector<uint8_t> file = builder.Build();
    std::string problem;
    EXPECT_EQ(Load(file, &problem, host::image::ResolveSystemExport), nullptr);  // warm up
    const unsigned long long before = MappedBytes();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Load(file, &problem, host::image::ResolveSystemExport), nullptr);
    EXPECT_LT(MappedBytes(), before + (4u << 20));
}

struct Damage {
    const char* Fault;
    std::function<void(std::vector<uint8_t>&)> Apply;
    const char* Reason;  // part of the refusal
};

const Damage kDamages[] = {
    {"empty file", [](auto& f) { f.clear(); }, "no MZ header"},
    {"truncated inside the headers", [](auto& f) { f.resize(0x100); }, "past the end of the file"},
    {"truncated inside a section", [](auto& f) { f.resize(f.size() - 0x300); },
     "past the end of the file"},
    {"PE offset past the end",
     [](auto& f) { PatchAt<DosHeader>(f, 0, [](auto& h) { h.e_lfanew = 0x7FFFFFF0; }); },
     "no PE signature"},
    {"built for x86-64",
     [](auto& f) { PatchAt<FileHeader>(f, kFileHeaderOffset, [](auto& h) { h.Machine = 0x8664; }); },
     "not for i386"},
    {"a PE32+ optional header",
     [](auto& f) { PatchAt<OptionalHeader32>(f, kOptionalHeaderOffset, [](auto& h) { h.Magic = 0x20B; }); },
     "not a PE32 image"},
    {"a user-mode program",
     [](auto& f) { PatchAt<OptionalHeader32>(f, kOptionalHeaderOffset, [](auto& h) { h.Subsystem = 2; }); },
     "not native"},
    {"sections smaller than a page",
     [](auto& f) {
         PatchAt<OptionalHeader32>(f, kOptionalHeaderOffset, [](auto& h) { h.SectionAlignment = 0x200; });
     },
     "alignment"},
    {"an image size the host will not map",
     [](auto& f) {
         PatchAt<OptionalHeader32>(f, kOptionalHeaderOffset, [](auto& h) { h.SizeOfImage = 0xFFFFF000; });
     },
     "image size"},
    {"a section's bytes outside the file",
     [](auto& f) {
         PatchAt<SectionHeader>(f, SectionHeaderOffset(1), [](auto& h) { h.PointerToRawData = 0xFFFFFF00; });
     },
     "past the end of the file"},
    {"overlapping sections",
     [](auto& f) {
         PatchAt<SectionHeader>(f, SectionHeaderOffset(1),
                                [](auto& h) { h.VirtualAddress = PeBuilder::SectionAddress(0); });
     },
     "overlaps"},
    {"a section outside the image",
     [](auto& f) {
         PatchAt<SectionHeader>(f, SectionHeaderOffset(1), [](auto& h) { h.VirtualSize = 0x10000000; });
     },
     "outside the image"},
    {"the entry point in data",
     [](auto& f) {
         PatchAt<OptionalHeader32>(f, kOptionalHeaderOffset,
                                   [](auto& h) { h.AddressOfEntryPoint = PeBuilder::SectionAddress(1); });
     },
     "not in an executable section"},
    {"a directory outside the image",
     [](auto& f) {
         PatchAt<DataDirectory>(f, kDirectoriesOffset + 8 * host::image::kDirectoryImport,
                                [](auto& d) { d.Size = 0x7FFFFFFF; });
     },
     "import directory"},
};

class RefusedImage : public ::testing::TestWithParam<Damage> {};

TEST_P(RefusedImage, IsRefusedWithItsReason) {
    std::vector<uint8_t> file = WellFormed().Build();
    GetParam().Apply(file);
    std::string problem;
    EXPECT_EQ(Load(file, &problem), nullptr);
    EXPECT_NE(problem.find(GetParam().Reason), std::string::npos) << problem;
    EXPECT_EQ(problem.find('\n'), std::string::npos) << "one line";
}

// A test's name: the letters and digits of its fault.
std::string TestNameOf(const char* fault) {
    std::string name;
    for (const char* c = fault; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Headers, RefusedImage, ::testing::ValuesIn(kDamages),
                         [](const auto& tested) { return TestNameOf(tested.param.Fault); });

// Damage inside the relocation and import tables, which the loader walks after mapping.
struct TableDamage {
    const char* Fault;
    std::function<void(PeBuilder&, std::vector<uint8_t>&)> Apply;
    const char* Reason;
};

uint32_t FileOffsetOf(const std::vector<uint8_t>& file, int section) {
    return ReadAt<SectionHeader>(file, SectionHeaderOffset(section)).PointerToRawData;
}

// Where the first import's first lookup entry (its first routine's name) sits in the file.
uint32_t FirstLookupEntryOffset(const PeBuilder& builder, const std::vector<uint8_t>& file) {
    const uint32_t importsAt = FileOffsetOf(file, builder.ImportSection());
    return importsAt + ReadAt<uint32_t>(file, importsAt) - PeBuilder::SectionAddress(builder.ImportSection());
}

const TableDamage kTableDamages[] = {
    {"a relocation past the end of the image",
     [](PeBuilder& b, auto& f) {
         const uint32_t at = FileOffsetOf(f, b.RelocationSection());
         PatchAt<uint32_t>(f, at, [](auto& page) { page = 0x7FFFF000; });
     },
     "lies outside the image"},
    {"a 64-bit relocation in a 32-bit image",
     [](PeBuilder& b, auto& f) {
         const uint32_t at = FileOffsetOf(f, b.RelocationSection()) + 8;
         PatchAt<uint16_t>(f, at, [](auto& entry) { entry = 10 << 12; });
     },
     "relocation kind 10"},
    {"a relocation block longer than its directory",
     [](PeBuilder& b, auto& f) {
         const uint32_t at = FileOffsetOf(f, b.RelocationSection()) + 4;
         PatchAt<uint32_t>(f, at, [](auto& size) { size = 0x1000; });
     },
     "has size"},
    {"a relocation block of odd size",
     [](PeBuilder& b, auto& f) {
         const uint32_t at = FileOffsetOf(f, b.RelocationSection()) + 4;
         PatchAt<uint32_t>(f, at, [](auto& size) { size = 9; });
     },
     "has size"},
    {"a relocated image with its relocations stripped",
     [](PeBuilder&, auto& f) {
         PatchAt<FileHeader>(f, kFileHeaderOffset, [](auto& h) { h.Characteristics |= 1; });
     },
     "no base relocations"},
    {"a module name outside the image",
     [](PeBuilder& b, auto& f) {
         const uint32_t at = FileOffsetOf(f, b.ImportSection()) + 12;
         PatchAt<uint32_t>(f, at, [](auto& name) { name = 0xFFFFFFF0; });
     },
     "outside the image"},
    {"a routine name outside the image",
     [](PeBuilder& b, auto& f) {
         PatchAt<uint32_t>(f, FirstLookupEntryOffset(b, f),
                           [](auto& name) { name = 0x7FFFFFFE; });
     },
     "outside the image"},
    {"a routine name running off the end of the image",
     [](PeBuilder& b, auto& f) {
         // The last section's page filled from the file with non-zero bytes to the image's end,
         // and a name starting two bytes before it.
         const int last = b.RelocationSection();
         f.resize(FileOffsetOf(f, last) + 0x1000, 'x');
         PatchAt<SectionHeader>(f, SectionHeaderOffset(last), [](auto& h) {
             h.SizeOfRawData = 0x1000;
             h.VirtualSize = 0x1000;
         });
         PatchAt<uint32_t>(f, FirstLookupEntryOffset(b, f),
                           [&](auto& name) { name = PeBuilder::SectionAddress(last + 1) - 4; });
     },
     "unterminated"},
    {"an import by ordinal",
     [](PeBuilder& b, auto& f) {
         PatchAt<uint32_t>(f, FirstLookupEntryOffset(b, f),
                           [](auto& name) { name = 0x80000007; });
     },
     "ordinal 7"},
    {"an address table outside the image",
     [](PeBuilder& b, auto& f) {
         PatchAt<uint32_t>(f, FileOffsetOf(f, b.ImportSection()) + 16,
                           [](auto& table) { table = 0xFFFFFFF8; });
     },
     "leaves the image"},
};

class RefusedTables : public ::testing::TestWithParam<TableDamage> {};

TEST_P(RefusedTables, AreRefusedWithTheirReason) {
    PeBuilder builder = WellFormed();
    std::vector<uint8_t> file = builder.Build();
    GetParam().Apply(builder, file);
    std::string problem;
    EXPECT_EQ(Load(file, &problem), nullptr);
    EXPECT_NE(problem.find(GetParam().Reason), std::string::npos) << problem;
}

INSTANTIATE_TEST_SUITE_P(Tables, RefusedTables, ::testing::ValuesIn(kTableDamages),
                         [](const auto& tested) { return TestNameOf(tested.param.Fault); });

}  // namespace
}  // namespace image_test
