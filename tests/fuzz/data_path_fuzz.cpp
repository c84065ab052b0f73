// libFuzzer target: whatever a device sends reaches the focused application whole.
// Input: a sequence of reads, each a length byte (the low six bits: 0 to 63 bytes; the top
// bit: a quiet gap follows) and that many bytes from the device. A connected monitor in
// clipboard mode polls them; every byte but NUL must be delivered once, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/fakes/monitor_harness.h"

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MonitorHarness h;
    FakeDevice& device = h.AddPort(L"COM3", /*answers=*/true);
    h.Create();
    h.RunFor(100);
    Check(h.form.IsConnected);
    h.rbClipboard.SetChecked(true);
    h.chkCR.checked = false;
    h.clipboard.blocks.clear();

    std::string sent;
    for (std::size_t at = 0; at < size;) {
        const std::uint8_t header = data[at++];
        const std::size_t length = std::min<std::size_t>(header & 0x3F, size - at);
        device.rx.append(reinterpret_cast<const char*>(data + at), length);
        sent.append(reinterpret_cast<const char*>(data + at), length);
        at += length;
        h.RunFor((header & 0x80) != 0 ? 400 : 100);
    }
    h.RunFor(2000); // the reads of what is left, then the quiet gap

    std::string expected;
    for (const char byte : sent)
        if (byte != '\0')
            expected.push_back(byte);
    std::wstring delivered;
    for (const std::wstring& burst : h.clipboard.blocks)
        delivered += burst;
    Check(h.form.IsConnected);
    Check(delivered == h.codePage.ToWide(expected));
    Check(h.form.DataBuffer.empty());
    return 0;
}
