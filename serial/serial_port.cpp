#include "app/Unit1.h"

// Placeholder bodies until the serial subsystem lands.
void TForm1::RefreshPortList() {}
OpenResult TForm1::OpenSerialPort(const std::wstring&, std::uint32_t) { return OpenResult::OpenFailed; }
std::wstring TForm1::ReadSerialData() { return {}; }
bool TForm1::WriteToPort(const std::wstring&) { return false; }
void TForm1::CloseSerialPort() { hComPort = kNoPort; }
