#include <gtest/gtest.h>

#include <set>

#include "tests/fakes/monitor_harness.h"
#include "ui/status_glyph.h"

namespace {

constexpr RgbColour kGrey{128, 128, 128};
constexpr RgbColour kGreen{0, 128, 0};
constexpr RgbColour kRed{255, 0, 0};
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

// The glyph as its rows' filled columns.
const std::set<int> kFilled[8] = {
    {0, 1, 2, 5, 6, 7}, {0, 2, 5, 7}, {0, 1, 2, 5, 6, 7}, {3, 4}, {3, 4, 5}, {0, 1, 2, 4}, {0, 2, 6, 7}, {0, 1, 2},
};

std::uint32_t Argb(RgbColour c)
{
    return 0xFF000000u | (std::uint32_t{c.R} << 16) | (std::uint32_t{c.G} << 8) | c.B;
}

std::uint32_t Pixel(const IconImage& image, int x, int y)
{
    return image.Pixels.at(static_cast<std::size_t>(y * image.Size + x));
}

// Checks every pixel against the cell grid of size / 8, white outside it.
void ExpectGlyph(const IconImage& image, RgbColour colour, int size)
{
    ASSERT_EQ(image.Size, size);
    ASSERT_EQ(image.Pixels.size(), static_cast<std::size_t>(size * size));
    const int cell = size / 8;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool inGrid = x < 8 * cell && y < 8 * cell;
            const bool filled = inGrid && kFilled[y / cell].count(x / cell) > 0;
            ASSERT_EQ(Pixel(image, x, y), filled ? Argb(colour) : kWhite)
                << "pixel (" << x << ", " << y << ") at size " << size;
        }
}

} // namespace

TEST(Glyph, EachStateColourAt32_FillsExactlyTheGlyphCellsOnOpaqueWhite)
{
    for (RgbColour colour : {kGrey, kGreen, kRed}) {
        SCOPED_TRACE(testing::Message() << int{colour.R} << "," << int{colour.G} << "," << int{colour.B});
        ExpectGlyph(CreateStatusIcon(colour, 32), colour, 32);
    }
}

TEST(Glyph, EveryPixelIsOpaque_WhiteBackgroundIncluded)
{
    for (int size : {32, 20, 48})
        for (std::uint32_t p : CreateStatusIcon(kGrey, size).Pixels)
            ASSERT_EQ(p >> 24, 0xFFu);
}

TEST(Glyph, SizeNotAMultipleOf8_LeavesAWhiteBandRightAndBottom)
{
    const IconImage image = CreateStatusIcon(kGreen, 20); // cells of 2, grid of 16
    ExpectGlyph(image, kGreen, 20);
    for (int i = 0; i < 20; ++i)
        for (int band = 16; band < 20; ++band) {
            EXPECT_EQ(Pixel(image, band, i), kWhite);
            EXPECT_EQ(Pixel(image, i, band), kWhite);
        }
    EXPECT_EQ(Pixel(image, 15, 15), kWhite);      // cell (7, 7) is empty
    EXPECT_EQ(Pixel(image, 5, 15), Argb(kGreen)); // cell (2, 7) is filled
}

TEST(Glyph, WindowIconGreenAt48_IsTheSamePictureScaled)
{
    ExpectGlyph(CreateStatusIcon(kGreen, 48), kGreen, 48);
}

TEST(Status, UpdateStatus_PrefixesTheTextAndLogsNothing)
{
    MonitorHarness h;
    h.Create();
    h.NewLogMessages();
    h.form.UpdateStatus(L"Test du port COM3...");
    EXPECT_EQ(h.lblStatus.caption, L"Etat: Test du port COM3...");
    h.form.UpdateStatus(L"");
    EXPECT_EQ(h.lblStatus.caption, L"Etat: ");
    EXPECT_TRUE(h.NewLogMessages().empty());
}

TEST(Tray, InitTrayIcon_IsGreyWithTheBareTitle)
{
    MonitorHarness h;
    h.form.InitTrayIcon();
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor");
    ExpectGlyph(h.TrayIcon1.icon, kGrey, 32);
}

TEST(Tray, UpdateTrayIcon_TipAndColourFollowTheState)
{
    struct Case {
        bool enabled, connected, detecting;
        const wchar_t* tip;
        RgbColour colour;
    };
    const Case cases[] = {
        {true, false, false, L"VOR-TIKA Monitor - Déconnecté", kRed},
        {true, false, true, L"VOR-TIKA Monitor - Déconnecté", kRed}, // a search leaves it red
        {true, true, false, L"VOR-TIKA Monitor - Connecté à COM7", kGreen},
        {false, false, false, L"VOR-TIKA Monitor - Désactivé", kGrey},
        {false, false, true, L"VOR-TIKA Monitor - Désactivé", kGrey},
        {false, true, false, L"VOR-TIKA Monitor - Désactivé", kGrey}, // disabled wins over connected
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.enabled << c.connected << c.detecting);
        MonitorHarness h;
        h.cmbPorts.items = {L"COM3", L"COM7"};
        h.cmbPorts.index = 1;
        h.form.IsEnabled = c.enabled;
        h.form.IsConnected = c.connected;
        h.form.IsDetecting = c.detecting;
        h.form.UpdateTrayIcon();
        EXPECT_EQ(h.TrayIcon1.hint, c.tip);
        EXPECT_EQ(h.TrayIcon1.iconChanges, 1);
        ExpectGlyph(h.TrayIcon1.icon, c.colour, 32);
    }
}

TEST(Tray, StartUpEnabledWithoutDevice_GreyTitleThenRedDisconnected)
{
    MonitorHarness h;
    h.Create();
    ASSERT_GE(h.TrayIcon1.hints.size(), 2u);
    EXPECT_EQ(h.TrayIcon1.hints[0], L"VOR-TIKA Monitor");
    EXPECT_EQ(h.TrayIcon1.hints[1], L"VOR-TIKA Monitor - Déconnecté");
    EXPECT_EQ(h.TrayIcon1.hint, L"VOR-TIKA Monitor - Déconnecté");
    ExpectGlyph(h.TrayIcon1.icon, kRed, 32);
}
