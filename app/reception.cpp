#include "app/Unit1.h"

// Placeholder bodies until delivery lands.
void TForm1::Timer1Timer() {}
void TForm1::ProcessBufferedData() {}
void TForm1::ShowLastData(const std::wstring&) {}
