#include "app/Unit1.h"

// Placeholder body until delivery lands.
void TForm1::PasteViaClipboard(const std::wstring&) {}
