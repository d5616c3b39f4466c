// The program's one table of control names against the driver it describes: the amplifier's
// ranges must be the ones the driver publishes, and every property of the driver's sets must
// have exactly one name.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "camera/simulated_camera.h"
#include "host/framework/linked_driver.h"
#include "controls/camera_control_ids.h"
#include "host/framework/client.h"
#include "registry/temp_machine.h"
#include "tools/control_table.h"

namespace {

using vexacam::tools::Control;
using vexacam::tools::ControlSet;
using vexacam::tools::Controls;
using vexacam::tools::FindInSet;

class ControlTableTest : public TempMachine {
protected:
    void SetUp() override {
        TempMachine::SetUp();
        ASSERT_EQ(host::LoadedDriver::LoadLinked(&driver_), STATUS_SUCCESS);
        ASSERT_EQ(driver_->CreateAdapter(camera_.PhysicalDeviceObject(), &adapter_), STATUS_SUCCESS);
    }
    void TearDown() override {
        EXPECT_EQ(adapter_->Uninitialize(), STATUS_SUCCESS);
        adapter_.reset();
        driver_.reset();
        TempMachine::TearDown();
    }

    const KSPROPERTY_SET* DeviceSet(const GUID& guid) const {
        const HW_STREAM_HEADER& header = adapter_->StreamHeader();
        for (ULONG s = 0; s < header.NumDevPropArrayEntries; ++s) {
            if (IsEqualGUID(*header.DevicePropertiesArray[s].Set, guid)) return &header.DevicePropertiesArray[s];
        }
        return nullptr;
    }

    camera::SimulatedCamera camera_;
    std::unique_ptr<host::LoadedDriver> driver_;
    std::unique_ptr<host::AdapterClient> adapter_;
};

TEST_F(ControlTableTest, AmplifierRangesAreTheOnesTheDriverPublishes) {
    const KSPROPERTY_SET* set = DeviceSet(PROPSETID_VIDCAP_VIDEOPROCAMP);
    ASSERT_NE(set, nullptr);
    for (ULONG i = 0; i < set->PropertiesCount; ++i) {
        const KSPROPERTY_ITEM& item = set->PropertyItem[i];
        const Control* control = FindInSet(ControlSet::ProcAmp, item.PropertyId);
        ASSERT_NE(control, nullptr) << item.PropertyId;
        ASSERT_NE(item.Values, nullptr) << control->Name;
        int64_t minimum = 0, maximum = 0, step = 0, byDefault = 0;
        for (ULONG m = 0; m < item.Values->MembersListCount; ++m) {
            const KSPROPERTY_MEMBERSLIST& list = item.Values->MembersList[m];
            if (list.MembersHeader.MembersFlags == KSPROPERTY_MEMBER_STEPPEDRANGES) {
                const auto* steps = static_cast<const KSPROPERTY_STEPPING_LONG*>(list.Members);
                minimum = steps->Bounds.SignedMinimum;
                maximum = steps->Bounds.SignedMaximum;
                step = steps->SteppingDelta;
            } else if (list.MembersHeader.MembersFlags == KSPROPERTY_MEMBER_VALUES) {
                byDefault = *static_cast<const LONG*>(list.Members);
            }
        }
        EXPECT_EQ(control->Range.Minimum, minimum) << control->Name;
        EXPECT_EQ(control->Range.Maximum, maximum) << control->Name;
        EXPECT_EQ(control->Range.Step, step) << control->Name;
        EXPECT_EQ(control->Range.Default, byDefault) << control->Name;
        // The camera control reaching the same field takes the same range.
        const Control* same = vexacam::tools::FindSetting(control->Means);
        ASSERT_NE(same, nullptr) << control->Name;
        EXPECT_EQ(same->Range.Minimum, minimum) << same->Name;
        EXPECT_EQ(same->Range.Maximum, maximum) << same->Name;
    }
}

TEST_F(ControlTableTest, EveryDevicePropertyHasExactlyOneName) {
    for (const auto& [guid, set] : {std::pair{&PROPSETID_VIDCAP_VIDEOCONTROL, ControlSet::VideoControl},
                                    {&CameraControlSet, ControlSet::Camera},
                                    {&PROPSETID_VIDCAP_VIDEOPROCAMP, ControlSet::ProcAmp}}) {
        const KSPROPERTY_SET* published = DeviceSet(*guid);
        ASSERT_NE(published, nullptr);
        std::set<ULONG> ids;
        for (ULONG i = 0; i < published->PropertiesCount; ++i) ids.insert(published->PropertyItem[i].PropertyId);
        std::set<ULONG> named;
        for (const Control& control : Controls()) {
            if (control.Set != set || control.Shape == vexacam::tools::ValueShape::AutoExposure) continue;
            EXPECT_TRUE(named.insert(control.Id).second) << control.Name << " shares its id";
        }
        EXPECT_EQ(named, ids) << vexacam::tools::SetName(set);
    }
}

TEST(ControlNames, StoredSettingsAreFoundByTheirRegistryNamesAndTheAmplifierNamesAreAliases) {
    const struct {
        const char* Asked;
        const char* Found;
    } cases[] = {
        {"Exposal", "Exposal"},
        {"contrast", "Contrast"},       // case ignored
        {"Brightness", "Exposal"},      // amplifier name: the setting it reaches
        {"WhiteBalance", "R_Gain"},
        {"Gain", "ALL_Gain"},
        {"Saturation", "G_Gain"},       // not Saturntion, which no property reaches
        {"Saturntion", "Saturntion"},
    };
    for (const auto& c : cases) {
        const Control* found = vexacam::tools::FindSetting(c.Asked);
        ASSERT_NE(found, nullptr) << c.Asked;
        EXPECT_STREQ(found->Name, c.Found) << c.Asked;
    }
    EXPECT_EQ(vexacam::tools::FindSetting("RedGain"), nullptr) << "one set of names";
}

}  // namespace
