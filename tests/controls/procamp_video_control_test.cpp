// The video processing amplifier's automatic switches and the fixed video control answers.
#include "controls_fixture.h"

namespace controls_test {
namespace {

using ProcAmpSet = ControlsTest;

TEST_F(ProcAmpSet, BrightnessAutoThenManualThenManual) {
    KSPROPERTY_VIDEOPROCAMP_S out{};
    ASSERT_EQ(SetProcAmp(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, 3000, KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO), STATUS_SUCCESS);
    EXPECT_EQ(Device().Image.AEing, 1u);
    EXPECT_EQ(Device().Command.Exposal, 100u) << "AUTO ignores the value";
    KSPROPERTY_VIDEOPROCAMP_S got = ProcAmp(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS);
    EXPECT_EQ(got.Flags, static_cast<ULONG>(KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO));
    EXPECT_EQ(got.Capabilities, 3u);

    ASSERT_EQ(SetProcAmp(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, 3000, KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL, &out), STATUS_SUCCESS);
    EXPECT_EQ(Device().Image.AEing, 0u);
    EXPECT_EQ(Device().Command.Exposal, 100u) << "the first manual set only ends automatic exposure";

    ASSERT_EQ(SetProcAmp(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS, 3000, KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL), STATUS_SUCCESS);
    EXPECT_EQ(Device().Command.Exposal, 3000u);
    EXPECT_EQ(Device().SettingsChanged, 1);
    got = ProcAmp(KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS);
    EXPECT_EQ(got.Value, 3000);
    EXPECT_EQ(got.Flags, static_cast<ULONG>(KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL));
}

TEST_F(ProcAmpSet, WhiteBalanceAutoStoresRedGainRequestsOnePushAndAnswersManual) {
    KSPROPERTY_VIDEOPROCAMP_S out{};
    ASSERT_EQ(SetProcAmp(KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE, 1000, KSPROPERTY_VIDEOPROCAMP_FLAGS_AUTO, &out),
              STATUS_SUCCESS);
    EXPECT_EQ(out.Flags, static_cast<ULONG>(KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL));
    EXPECT_EQ(Device().Image.OnePushWhiteBalance, 1u);
    EXPECT_EQ(Device().Pipeline.RedGain[128], 255);
    const KSPROPERTY_VIDEOPROCAMP_S got = ProcAmp(KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE);
    EXPECT_EQ(got.Value, 1000);
    EXPECT_EQ(got.Flags, static_cast<ULONG>(KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL));
    EXPECT_EQ(got.Capabilities, 3u);
}

TEST_F(ProcAmpSet, EachIdReachesItsSetting) {
    struct Case {
        ULONG Id;
        LONG Value;
        LONG ReadBack;
    };
    for (const Case& c : {Case{KSPROPERTY_VIDEOPROCAMP_CONTRAST, 0x120, 0x20}, Case{KSPROPERTY_VIDEOPROCAMP_SATURATION, 750, 750},
                          Case{KSPROPERTY_VIDEOPROCAMP_SHARPNESS, 250, 250}, Case{KSPROPERTY_VIDEOPROCAMP_GAMMA, 20, 20}}) {
        ASSERT_EQ(SetProcAmp(c.Id, c.Value, 0), STATUS_SUCCESS) << "id " << c.Id;
        EXPECT_EQ(ProcAmp(c.Id).Value, c.ReadBack) << "id " << c.Id;
    }
    EXPECT_EQ(Control(kControlGreenGain), 750u) << "saturation is the green gain";
    EXPECT_EQ(Control(kControlBlueGain), 250u) << "sharpness is the blue gain";
}

TEST_F(ProcAmpSet, PublishesRangesAndDefaults) {
    struct Range {
        ULONG Id;
        LONG Minimum, Maximum, Default;
    };
    for (const Range& r : {Range{0, 1, 5000, 100}, Range{1, 1, 32, 16}, Range{3, 1, 6000, 500}, Range{4, 1, 6000, 500},
                           Range{5, 1, 32, 16}, Range{7, 1, 6000, 500}, Range{9, 8, 63, 25}}) {
        const KSPROPERTY_ITEM* item = nullptr;
        for (const KSPROPERTY_ITEM& candidate : VideoProcAmpProperties) {
            if (candidate.PropertyId == r.Id) item = &candidate;
        }
        ASSERT_NE(item, nullptr) << "id " << r.Id;
        ASSERT_EQ(item->Values->MembersListCount, 2u);
        const auto* steps = static_cast<const KSPROPERTY_STEPPING_LONG*>(item->Values->MembersList[0].Members);
        EXPECT_EQ(steps->SteppingDelta, 1u);
        EXPECT_EQ(steps->Bounds.SignedMinimum, r.Minimum) << "id " << r.Id;
        EXPECT_EQ(steps->Bounds.SignedMaximum, r.Maximum) << "id " << r.Id;
        EXPECT_EQ(*static_cast<const LONG*>(item->Values->MembersList[1].Members), r.Default) << "id " << r.Id;
        EXPECT_EQ(item->Values->MembersList[1].MembersHeader.Flags, static_cast<ULONG>(KSPROPERTY_MEMBER_FLAG_DEFAULT));
    }
}

TEST_F(ProcAmpSet, VideoControlAnswersAndRefusesEverySet) {
    KSPROPERTY_VIDEOCONTROL_CAPS_S caps{};
    ULONG bytes = 0;
    host::PropertyCall capsCall{PROPSETID_VIDCAP_VIDEOCONTROL, KSPROPERTY_VIDEOCONTROL_CAPS, &caps, sizeof(caps), sizeof(caps)};
    ASSERT_EQ(adapter_->GetProperty(capsCall, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(caps.VideoControlCaps, static_cast<ULONG>(KS_VideoControlFlag_FlipVertical));
    EXPECT_EQ(bytes, 32u);

    KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE_S rate{};
    host::PropertyCall rateCall{PROPSETID_VIDCAP_VIDEOCONTROL, KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE, &rate,
                                sizeof(rate), sizeof(rate)};
    ASSERT_EQ(adapter_->GetProperty(rateCall, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(rate.CurrentActualFrameRate, 15);
    EXPECT_EQ(rate.CurrentMaxAvailableFrameRate, 15);
    EXPECT_EQ(bytes, 56u);

    KSPROPERTY_VIDEOCONTROL_MODE_S mode{};
    mode.Mode = 5;
    host::PropertyCall modeCall{PROPSETID_VIDCAP_VIDEOCONTROL, KSPROPERTY_VIDEOCONTROL_MODE, &mode, sizeof(mode), sizeof(mode)};
    ASSERT_EQ(adapter_->GetProperty(modeCall, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(mode.Mode, 0);
    EXPECT_EQ(adapter_->SetProperty(modeCall), STATUS_NOT_IMPLEMENTED) << "published settable, refused";
}

}  // namespace
}  // namespace controls_test
