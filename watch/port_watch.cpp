#include "app/Unit1.h"

// Placeholder bodies until the port watch lands.
void TForm1::TimerDeviceWatchTimer() {}
bool TForm1::TestConnection() { return false; }
void TForm1::CheckDeviceChanges() {}
void TForm1::HandleDeviceArrival() {}
void TForm1::HandleDeviceRemoval() {}
bool TForm1::IsPortStillAvailable() { return true; }
