// The shipped kernel image itself (vexacam.sys, built by the cross compiler) loaded into the
// 32-bit host: mapped away from its preferred base with every relocation applied, every
// import bound to the host's export of that name, its DriverEntry run to a registration, and
// a copy naming a routine no system module exports refused in one line; the extended processor
// state save looked up, never imported.
#if defined(VEXACAM_KERNEL_IMAGE)

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/device_context.h"
#include "host/framework/client.h"
#include "host/image/driver_image.h"
#include "host/image/image_layout.h"
#include "host/image/system_modules.h"
#include "host/kernel/host_reset.h"
#include "host/kernel/processor_state.h"

namespace {

using host::image::DriverImage;

std::vector<uint8_t> ImageFile() {
    std::ifstream file(VEXACAM_KERNEL_IMAGE, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

uint32_t Word(const uint8_t* at) {
    uint32_t word;
    std::memcpy(&word, at, sizeof(word));
    return word;
}

// The words the file's relocation table names, walked independently of the loader.
std::vector<uint32_t> RelocatedWords(const std::vector<uint8_t>& file,
                                     const host::image::ImageLayout& layout) {
    std::vector<uint8_t> flat(layout.SizeOfImage, 0);
    for (const auto& section : layout.Sections) {
        std::memcpy(flat.data() + section.VirtualAddress, file.data() + section.FileOffset,
                    section.FileSize);
    }
    std::vector<uint32_t> targets;
    uint32_t at = layout.Relocations.VirtualAddress;
    const uint32_t end = at + layout.Relocations.Size;
    while (at < end) {
        const uint32_t page = Word(&flat[at]);
        const uint32_t size = Word(&flat[at + 4]);
        for (uint32_t entry = at + 8; entry < at + size; entry += 2) {
            const uint16_t pair = static_cast<uint16_t>(flat[entry] | flat[entry + 1] << 8);
            if (pair >> 12 == 3) targets.push_back(page + (pair & 0xFFF));
        }
        at += size;
    }
    return targets;
}

class KernelImage : public ::testing::Test {
protected:
    void SetUp() override {
        file_ = ImageFile();
        ASSERT_GT(file_.size(), 4096u) << VEXACAM_KERNEL_IMAGE;
        std::string problem;
        ASSERT_TRUE(host::image::ReadImageLayout(file_.data(), file_.size(), &layout_, &problem))
            << problem;
    }
    std::vector<uint8_t> file_;
    host::image::ImageLayout layout_;
};

TEST_F(KernelImage, RunsAwayFromItsPreferredBaseWithEveryRelocationApplied) {
    std::string problem;
    auto image = DriverImage::Load(VEXACAM_KERNEL_IMAGE, &problem);
    ASSERT_NE(image, nullptr) << problem;
    ASSERT_NE(image->Base(), image->PreferredBase());
    const uint32_t delta = image->Base() - image->PreferredBase();
    const std::vector<uint32_t> targets = RelocatedWords(file_, layout_);
    EXPECT_GT(targets.size(), 500u);
    std::vector<bool> relocated(layout_.SizeOfImage, false);
    for (uint32_t target : targets) {
        relocated[target] = true;
        const auto* section = &layout_.Sections[0];
        for (const auto& candidate : layout_.Sections) {
            if (target >= candidate.VirtualAddress) section = &candidate;
        }
        const uint32_t original =
            Word(file_.data() + section->FileOffset + (target - section->VirtualAddress));
        ASSERT_EQ(Word(image->Bytes() + target), original + delta) << "word at " << target;
    }
    // Code no relocation names is byte for byte the file's.
    const auto& text = layout_.Sections[0];
    for (uint32_t offset = 0; offset < text.FileSize; ++offset) {
        const uint32_t rva = text.VirtualAddress + offset;
        bool inRelocatedWord = false;
        for (uint32_t back = 0; back < 4 && back <= rva; ++back) {
            inRelocatedWord = inRelocatedWord || relocated[rva - back];
        }
        if (!inRelocatedWord) {
            ASSERT_EQ(image->Bytes()[rva], file_[text.FileOffset + offset]) << "code at " << rva;
        }
    }
}

struct ImportSlot {
    std::string Module;
    std::string Routine;
    uint32_t Bound;  // the address the loader wrote into the slot
};

// Every import of the loaded image, read from its import table.
std::vector<ImportSlot> Imports(const DriverImage& image, const host::image::ImageLayout& layout) {
    const uint8_t* bytes = image.Bytes();
    std::vector<ImportSlot> slots;
    for (uint32_t at = layout.Imports.VirtualAddress; Word(bytes + at + 12) != 0; at += 20) {
        const std::string module(reinterpret_cast<const char*>(bytes + Word(bytes + at + 12)));
        for (uint32_t slot = 0; Word(bytes + Word(bytes + at) + 4 * slot) != 0; ++slot) {
            const uint32_t name = Word(bytes + Word(bytes + at) + 4 * slot);
            slots.push_back({module, reinterpret_cast<const char*>(bytes + name + 2),
                             Word(bytes + Word(bytes + at + 16) + 4 * slot)});
        }
    }
    return slots;
}

TEST_F(KernelImage, BindsEveryImportToTheHostsExportOfThatName) {
    std::string problem;
    auto image = DriverImage::Load(VEXACAM_KERNEL_IMAGE, &problem);
    ASSERT_NE(image, nullptr) << problem;
    const std::vector<ImportSlot> imports = Imports(*image, layout_);
    for (const ImportSlot& slot : imports) {
        const auto* exported = host::image::FindSystemExport(slot.Module, slot.Routine);
        ASSERT_NE(exported, nullptr) << slot.Module << "!" << slot.Routine;
        EXPECT_EQ(slot.Bound, reinterpret_cast<uintptr_t>(exported->Address))
            << slot.Module << "!" << slot.Routine;
    }
    EXPECT_GT(imports.size(), 40u);
}

// The image must load on a system without the extended save: it looks the routines up.
TEST_F(KernelImage, LooksTheExtendedSaveUpInsteadOfImportingIt) {
    host::OfferExtendedStateSave(false);
    std::string problem;
    auto image = DriverImage::Load(VEXACAM_KERNEL_IMAGE, &problem);
    host::OfferExtendedStateSave(true);
    ASSERT_NE(image, nullptr) << problem;
    bool looksUp = false;
    for (const ImportSlot& slot : Imports(*image, layout_)) {
        EXPECT_EQ(slot.Routine.find("ExtendedProcessorState"), std::string::npos) << slot.Routine;
        looksUp = looksUp || slot.Routine == "MmGetSystemRoutineAddress";
    }
    EXPECT_TRUE(looksUp);
}

TEST_F(KernelImage, DriverEntryRegistersTheAdapterWithItsOwnRoutines) {
    host::ResetHost();
    std::unique_ptr<host::LoadedDriver> driver;
    std::string problem;
    ASSERT_EQ(host::LoadedDriver::LoadImage(VEXACAM_KERNEL_IMAGE, &driver, &problem),
              STATUS_SUCCESS)
        << problem;
    const HW_INITIALIZATION_DATA& registration = driver->Registration();
    EXPECT_EQ(registration.HwInitializationDataSize, 60u);
    EXPECT_EQ(registration.DeviceExtensionSize, sizeof(DeviceContext));
    EXPECT_EQ(registration.HwInterrupt, nullptr);
    EXPECT_NE(registration.HwReceivePacket, nullptr);
    EXPECT_NE(registration.HwCancelPacket, nullptr);
    EXPECT_NE(registration.HwRequestTimeoutHandler, nullptr);
}

TEST_F(KernelImage, CopyImportingARoutineNoModuleExportsIsRefusedNamingIt) {
    // Rename one import in place: same length, so nothing else of the file moves.
    std::vector<uint8_t> copy = file_;
    const std::string from = "KeSetTimer";
    auto at = std::search(copy.begin(), copy.end(), from.begin(), from.end());
    ASSERT_NE(at, copy.end());
    at[from.size() - 1] = 'x';
    std::string problem;
    EXPECT_EQ(DriverImage::LoadBytes("vexacam.sys", copy.data(), copy.size(),
                                     host::image::ResolveSystemExport, &problem),
              nullptr);
    EXPECT_EQ(problem, "vexacam.sys: imports KeSetTimex from ntoskrnl.exe, which exports no "
                       "such routine");
}

}  // namespace

#endif  // VEXACAM_KERNEL_IMAGE
