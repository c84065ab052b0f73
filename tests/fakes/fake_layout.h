// Keyboard layouts as tables of keys, answering as VkKeyScanExW, ToUnicodeEx and MapVirtualKeyExW
// answer for them: US English and French AZERTY, each with the keys the tests type.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "input/layout_keys.h"

// One key: its virtual key, scan code and characters on the plain, Shift, AltGr and Shift+AltGr
// levels (0: none), which of them are dead, and whether CapsLock turns its Shift around.
struct FakeLayoutKey {
    std::uint16_t vk;
    std::uint16_t scan;
    std::array<std::uint16_t, 4> levels;
    bool capsLock = false;
    std::array<bool, 4> dead{};
};

class FakeLayout : public KeyboardLayout {
public:
    explicit FakeLayout(std::vector<FakeLayoutKey> keys) : keys_(std::move(keys)) {}

    // VkKeyScanExW: the first key and level that give the unit, dead levels left out.
    std::optional<LayoutKey> KeyFor(std::uint16_t unit) override
    {
        for (std::size_t level = 0; level < 4; ++level)
            for (const FakeLayoutKey& k : keys_)
                if (k.levels[level] == unit && !k.dead[level])
                    return LayoutKey{k.vk, (level & 1) != 0, level >= 2, level >= 2};
        return std::nullopt;
    }
    std::optional<std::uint16_t> CharOf(const LayoutKey& key, bool capsLock) override
    {
        ++charOfCalls;
        const FakeLayoutKey* k = Find(key.VirtualKey);
        if (k == nullptr || key.Ctrl != key.Alt)
            return std::nullopt;
        bool shift = key.Shift;
        if (capsLock && k->capsLock && !key.Ctrl)
            shift = !shift;
        const std::size_t level = (key.Ctrl ? 2 : 0) + (shift ? 1 : 0);
        if (k->levels[level] == 0 || k->dead[level])
            return std::nullopt;
        return k->levels[level];
    }
    std::optional<LayoutKey> DeadKeyFor(std::uint16_t accent) override
    {
        for (std::size_t level = 0; level < 4; ++level)
            for (const FakeLayoutKey& k : keys_)
                if (k.levels[level] == accent && k.dead[level])
                    return LayoutKey{k.vk, (level & 1) != 0, level >= 2, level >= 2};
        return std::nullopt;
    }
    std::uint16_t ScanCode(std::uint16_t vk) override
    {
        switch (vk) {
        case 16:
            return 0x2A;
        case 17:
            return 0x1D;
        case 18:
            return 0x38;
        default:
            const FakeLayoutKey* k = Find(vk);
            return k == nullptr ? 0 : k->scan;
        }
    }
    bool CapsLockOn() override { return capsLockOn; }

    bool capsLockOn = false;
    int charOfCalls = 0;

private:
    const FakeLayoutKey* Find(std::uint16_t vk) const
    {
        for (const FakeLayoutKey& k : keys_)
            if (k.vk == vk)
                return &k;
        return nullptr;
    }
    std::vector<FakeLayoutKey> keys_;
};

namespace fake_layout_detail {

// The letter keys from their row's scan codes, on a layout that puts `letters` there.
inline void AddLetters(std::vector<FakeLayoutKey>& keys, const char* letters, std::uint16_t firstScan)
{
    for (std::uint16_t i = 0; letters[i] != 0; ++i) {
        const auto upper = static_cast<std::uint16_t>(letters[i]);
        keys.push_back({upper,
                        static_cast<std::uint16_t>(firstScan + i),
                        {static_cast<std::uint16_t>(upper + 0x20), upper, 0, 0},
                        true});
    }
}

} // namespace fake_layout_detail

// US English (0409).
inline FakeLayout FakeUsLayout()
{
    std::vector<FakeLayoutKey> keys;
    fake_layout_detail::AddLetters(keys, "QWERTYUIOP", 0x10);
    fake_layout_detail::AddLetters(keys, "ASDFGHJKL", 0x1E);
    fake_layout_detail::AddLetters(keys, "ZXCVBNM", 0x2C);
    const char* shifted = "!@#$%^&*()";
    for (std::uint16_t i = 0; i < 10; ++i)
        keys.push_back(
            {static_cast<std::uint16_t>(i == 9 ? '0' : '1' + i),
             static_cast<std::uint16_t>(0x02 + i),
             {static_cast<std::uint16_t>(i == 9 ? '0' : '1' + i), static_cast<std::uint16_t>(shifted[i]), 0, 0}});
    keys.push_back({0xBA, 0x27, {';', ':', 0, 0}});  // VK_OEM_1
    keys.push_back({0xBD, 0x0C, {'-', '_', 0, 0}});  // VK_OEM_MINUS
    keys.push_back({0xBB, 0x0D, {'=', '+', 0, 0}});  // VK_OEM_PLUS
    keys.push_back({0xC0, 0x29, {'`', '~', 0, 0}});  // VK_OEM_3
    keys.push_back({0xDE, 0x28, {'\'', '"', 0, 0}}); // VK_OEM_7
    keys.push_back({0x20, 0x39, {' ', ' ', 0, 0}});
    return FakeLayout(std::move(keys));
}

// French AZERTY (040C): A and Q, Z and W, M in their places; the digits row gives & é " ' ( - è _ ç à
// plain, the digits with Shift (and with CapsLock), # ~ { [ | ` \ ^ @ with AltGr; the key right of P
// is the dead circumflex, with Shift the dead diaeresis; AltGr+E is the euro sign.
inline FakeLayout FakeAzertyLayout()
{
    std::vector<FakeLayoutKey> keys;
    fake_layout_detail::AddLetters(keys, "AZERTYUIOP", 0x10);
    fake_layout_detail::AddLetters(keys, "QSDFGHJKLM", 0x1E);
    fake_layout_detail::AddLetters(keys, "WXCVBN", 0x2C);
    const std::array<std::uint16_t, 10> plain{'&', 0xE9, '"', '\'', '(', '-', 0xE8, '_', 0xE7, 0xE0};
    const std::array<std::uint16_t, 10> altGr{0, '~', '#', '{', '[', '|', '`', '\\', '^', '@'};
    for (std::uint16_t i = 0; i < 10; ++i) {
        const auto digit = static_cast<std::uint16_t>(i == 9 ? '0' : '1' + i);
        FakeLayoutKey key{digit, static_cast<std::uint16_t>(0x02 + i), {plain[i], digit, altGr[i], 0}, true};
        key.dead[2] = i == 1 || i == 6; // AltGr+2 and AltGr+7: the dead tilde and grave
        keys.push_back(key);
    }
    FakeLayoutKey circumflex{0xDD, 0x1A, {'^', 0xA8, 0, 0}}; // VK_OEM_6
    circumflex.dead = {true, true, false, false};
    keys.push_back(circumflex);
    keys.push_back({0xBA, 0x1B, {'$', 0xA3, 0xA4, 0}}); // VK_OEM_1
    keys.push_back({0xDB, 0x0C, {')', 0xB0, ']', 0}});  // VK_OEM_4
    keys.push_back({0xBB, 0x0D, {'=', '+', '}', 0}});   // VK_OEM_PLUS
    keys.push_back({0xBC, 0x32, {',', '?', 0, 0}});     // VK_OEM_COMMA
    keys.push_back({0xBE, 0x33, {';', '.', 0, 0}});     // VK_OEM_PERIOD
    keys.push_back({0xBF, 0x34, {':', '/', 0, 0}});     // VK_OEM_2
    keys.push_back({0xDF, 0x35, {'!', 0xA7, 0, 0}});    // VK_OEM_8
    keys.push_back({0x20, 0x39, {' ', ' ', 0, 0}});
    for (FakeLayoutKey& key : keys)
        if (key.vk == 'E')
            key.levels[2] = 0x20AC;
    return FakeLayout(std::move(keys));
}
