#include "app/Unit1.h"

// Placeholder bodies until detection lands.
void TForm1::btnConnectClick() {}
void TForm1::btnDisconnectClick() { Disconnect(); }
void TForm1::StartAutoDetection() {}
void TForm1::StartAutoDetectionNewPortFirst() {}
void TForm1::TryNextPort() {}
void TForm1::SendTestCommand() {}
void TForm1::TimerDetectionTimer() {}
void TForm1::CheckHandshakeReply() {}
void TForm1::Disconnect() {}
