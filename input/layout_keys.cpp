// The layout's keys for a character: the key itself, or a dead accent key and the base letter.
#include "input/layout_keys.h"

#include <array>

#include "input/virtual_keys.h"

namespace {

constexpr std::uint16_t kGrave = 0x60;
constexpr std::uint16_t kAcute = 0xB4;
constexpr std::uint16_t kCircumflex = 0x5E;
constexpr std::uint16_t kTilde = 0x7E;
constexpr std::uint16_t kDiaeresis = 0xA8;

struct Accented {
    std::uint16_t Unit;
    std::uint16_t Base;
    std::uint16_t Accent;
};

// The accented Latin letters a dead key gives, upper case; the lower case ones are 0x20 above.
constexpr std::array<Accented, 24> kAccentedUpper{{
    {0xC0, 'A', kGrave},      {0xC1, 'A', kAcute},      {0xC2, 'A', kCircumflex}, {0xC3, 'A', kTilde},
    {0xC4, 'A', kDiaeresis},  {0xC8, 'E', kGrave},      {0xC9, 'E', kAcute},      {0xCA, 'E', kCircumflex},
    {0xCB, 'E', kDiaeresis},  {0xCC, 'I', kGrave},      {0xCD, 'I', kAcute},      {0xCE, 'I', kCircumflex},
    {0xCF, 'I', kDiaeresis},  {0xD1, 'N', kTilde},      {0xD2, 'O', kGrave},      {0xD3, 'O', kAcute},
    {0xD4, 'O', kCircumflex}, {0xD5, 'O', kTilde},      {0xD6, 'O', kDiaeresis},  {0xD9, 'U', kGrave},
    {0xDA, 'U', kAcute},      {0xDB, 'U', kCircumflex}, {0xDC, 'U', kDiaeresis},  {0xDD, 'Y', kAcute},
}};

std::optional<Accented> Decomposed(std::uint16_t unit)
{
    if (unit == 0xFF)
        return Accented{unit, 'y', kDiaeresis};
    if (unit == 0x178)
        return Accented{unit, 'Y', kDiaeresis};
    for (const Accented& a : kAccentedUpper) {
        if (a.Unit == unit)
            return a;
        if (a.Unit + 0x20 == unit)
            return Accented{unit, static_cast<std::uint16_t>(a.Base + 0x20), a.Accent};
    }
    return std::nullopt;
}

// Alt alone would reach the target as a menu shortcut, Ctrl alone as a control key: only the plain,
// Shift and AltGr levels type text.
bool TypesText(const LayoutKey& key)
{
    return key.Ctrl == key.Alt;
}

// The key that gives the unit as sent: with CapsLock on, Shift turned around where the lock
// turns the key's case (letters, and the digits row of some layouts).
std::optional<LayoutKey> KeyGiving(KeyboardLayout& layout, std::uint16_t unit, bool capsLock)
{
    const std::optional<LayoutKey> key = layout.KeyFor(unit);
    if (!key || !TypesText(*key))
        return std::nullopt;
    if (layout.CharOf(*key, capsLock) == unit)
        return key;
    LayoutKey other = *key;
    other.Shift = !other.Shift;
    if (layout.CharOf(other, capsLock) == unit)
        return other;
    return std::nullopt;
}

void AddKey(KeyboardLayout& layout, const LayoutKey& key, std::vector<KeyboardRecord>& records)
{
    std::array<std::uint16_t, 3> modifiers{};
    std::size_t count = 0;
    if (key.Shift)
        modifiers[count++] = kVkShift;
    if (key.Ctrl)
        modifiers[count++] = kVkControl;
    if (key.Alt)
        modifiers[count++] = kVkMenu;
    for (std::size_t i = 0; i < count; ++i)
        records.push_back({modifiers[i], layout.ScanCode(modifiers[i]), 0, 0, 0});
    const std::uint16_t scan = layout.ScanCode(key.VirtualKey);
    records.push_back({key.VirtualKey, scan, 0, 0, 0});
    records.push_back({key.VirtualKey, scan, kKeyEventFKeyUp, 0, 0});
    for (std::size_t i = count; i-- > 0;)
        records.push_back({modifiers[i], layout.ScanCode(modifiers[i]), kKeyEventFKeyUp, 0, 0});
}

} // namespace

std::vector<KeyboardRecord> LayoutKeyRecords(KeyboardLayout& layout, std::uint16_t unit)
{
    std::vector<KeyboardRecord> records;
    // Halves of a surrogate pair are no key's: they go as Unicode.
    if (unit < 32 || (unit >= 0xD800 && unit <= 0xDFFF))
        return records;
    const bool capsLock = layout.CapsLockOn();
    if (const std::optional<LayoutKey> key = KeyGiving(layout, unit, capsLock)) {
        AddKey(layout, *key, records);
        return records;
    }
    const std::optional<Accented> accented = Decomposed(unit);
    if (!accented)
        return records;
    const std::optional<LayoutKey> dead = layout.DeadKeyFor(accented->Accent);
    const std::optional<LayoutKey> base = KeyGiving(layout, accented->Base, capsLock);
    if (!dead || !TypesText(*dead) || !base)
        return records;
    AddKey(layout, *dead, records);
    AddKey(layout, *base, records);
    return records;
}
