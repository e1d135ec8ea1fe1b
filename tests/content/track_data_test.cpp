#include "content/track_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hex_bytes.h"

namespace {

enum class Form { kTrack2Text, kTrack2Packed, kTrack1 };

bool Parse(Form form, const std::vector<std::uint8_t>& v, TrackData& out) {
    const int n = static_cast<int>(v.size());
    if (form == Form::kTrack2Text) return ParseTrack2Text(v.data(), n, out);
    if (form == Form::kTrack2Packed) return ParseTrack2Packed(v.data(), n, out);
    return ParseTrack1(v.data(), n, out);
}

std::string Part(const TrackData& track, const std::vector<std::uint8_t>& v, TrackSpan span) {
    std::string out;
    for (int i = span.start; i < span.start + span.size; ++i)
        out.push_back(TrackSymbol(v.data(), track.packed, i));
    return out;
}

struct TrackCase {
    const char* name;
    Form form;
    std::vector<std::uint8_t> value;
    bool fits;
    std::string account, expiry, service, discretionary, holder;
};

class Tracks : public testing::TestWithParam<TrackCase> {};

TEST_P(Tracks, SplitIntoTheirPartsOrRefuseWhole) {
    const TrackCase& c = GetParam();
    TrackData track;
    ASSERT_EQ(Parse(c.form, c.value, track), c.fits);
    if (!c.fits) return;
    EXPECT_EQ(Part(track, c.value, track.account), c.account);
    EXPECT_EQ(Part(track, c.value, track.expiry), c.expiry);
    EXPECT_EQ(Part(track, c.value, track.serviceCode), c.service);
    EXPECT_EQ(Part(track, c.value, track.discretionary), c.discretionary);
    EXPECT_EQ(Part(track, c.value, track.name), c.holder);
}

const auto T = TextBytes;

INSTANTIATE_TEST_SUITE_P(
    Track, Tracks,
    testing::Values(
        TrackCase{"Text", Form::kTrack2Text, T("4111111111111111=25121011234"), true,
                  "4111111111111111", "2512", "101", "1234", ""},
        TrackCase{"TextWithSentinels", Form::kTrack2Text, T(";4111111111111111=2512101?"), true,
                  "4111111111111111", "2512", "101", "", ""},
        TrackCase{"PackedWithPad", Form::kTrack2Packed, HexBytes("4111111111111111D2512101123F"),
                  true, "4111111111111111", "2512", "101", "123", ""},
        TrackCase{"PackedEven", Form::kTrack2Packed, HexBytes("378282246310005D251210112345"), true,
                  "378282246310005", "2512", "101", "12345", ""},
        TrackCase{"Track1", Form::kTrack1, T("%B4111111111111111^DOE/JOHN^2512101000000?"), true,
                  "4111111111111111", "2512", "101", "000000", "DOE/JOHN"},
        TrackCase{"Track1Bare", Form::kTrack1, T("B4111111111111111^DOE/J^2512101"), true,
                  "4111111111111111", "2512", "101", "", "DOE/J"},
        TrackCase{"NoSeparator", Form::kTrack2Text, T("41111111111111112512101"), false, "", "", "",
                  "", ""},
        TrackCase{"ShortExpiry", Form::kTrack2Text, T("4111111111111111=251"), false, "", "", "",
                  "", ""},
        TrackCase{"LetterInData", Form::kTrack2Text, T("4111111111111111=2512101A1"), false, "", "",
                  "", "", ""},
        TrackCase{"SentinelInside", Form::kTrack2Text, T("4111111111111111=2512101?1"), false, "",
                  "", "", "", ""},
        TrackCase{"TwentyDigits", Form::kTrack2Text, T("41111111111111111111=2512101"), false, "",
                  "", "", "", ""},
        TrackCase{"PadInside", Form::kTrack2Packed, HexBytes("4111111111111111D2512101F1"), false,
                  "", "", "", "", ""},
        TrackCase{"PackedTextSeparator", Form::kTrack2Packed, HexBytes("41111111E2512101"), false,
                  "", "", "", "", ""},
        TrackCase{"NoFormatCode", Form::kTrack1, T("%4111111111111111^DOE/J^2512101?"), false, "",
                  "", "", "", ""},
        TrackCase{"NameTooLong", Form::kTrack1,
                  T("B4111111111111111^ABCDEFGHIJKLMNOPQRSTUVWXYZA^2512101"), false, "", "", "", "",
                  ""},
        TrackCase{"NoSecondCaret", Form::kTrack1, T("B4111111111111111^DOE/J2512101"), false, "",
                  "", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
