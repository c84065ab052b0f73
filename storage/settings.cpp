#include "app/Unit1.h"

// Placeholder bodies until the settings file lands.
void TForm1::LoadSettings() { MenuActiver.SetCaption(IsEnabled ? L"Désactiver" : L"Activer"); }
void TForm1::SaveSettings() {}
