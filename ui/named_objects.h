// The names of every object the program shares across processes, and whose objects it trusts.
#pragma once
#include <string>

// The one definition of the names: cmake/names.cmake reads these lines (their shape matters) and
// generates the setup's include, so that the setup and the program cannot drift apart. A name is
// "<stem>.<part>-<suffix>", or "<stem>-<suffix>" for an empty part; a running older monitor knows
// the same names, so they never change.
inline constexpr const wchar_t* kNameStem = L"VORTikaMonitor";
inline constexpr const wchar_t* kNameSuffix = L"3F6B2C1E-8D4A-4E7B-9A15-6C0D2E7F9B41";
inline constexpr const wchar_t* kInstanceMutexPart = L"";
inline constexpr const wchar_t* kEndingEventPart = L"Fin";
inline constexpr const wchar_t* kQuitEventPart = L"Quitter";
inline constexpr const wchar_t* kReplacedEventPart = L"Remplace";
inline constexpr const wchar_t* kShowMessagePart = L"Afficher";
inline constexpr const wchar_t* kQuitMessagePart = L"Quitter";
// Where the setup publishes the token of the events it created for one run (HKLM, 64-bit view).
inline constexpr const wchar_t* kRequestKeyPart = L"Software\\VORTIKA\\VORTikaMonitor";
inline constexpr const wchar_t* kRequestValuePart = L"Demande";

std::wstring CrossProcessName(const wchar_t* part);
// The setup's event of one run: "<name>.<token>", the token a braced GUID the setup made.
std::wstring RequestEventName(const wchar_t* part, const std::wstring& token);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in hexadecimal digits: what CoCreateGuid gives, and
// nothing a name could be steered with.
bool IsRequestToken(const std::wstring& token);

// Who owns a named object the monitor opened. Unrecorded: the system keeps no owner at all, which
// Windows never does for a named object (it gives every one its creator's default owner) and Wine
// does for any object created without explicit rights.
enum class ObjectOwner { System, Administrators, ThisUser, Unrecorded, Other };
// Only an object owned by SYSTEM, by Administrators, or by the monitor's own user is honoured:
// any user may create a name first, with rights of their own, to end or hold back the monitors of
// others. Where no owner is kept, no rights are kept either: nothing to judge.
bool IsTrustedOwner(ObjectOwner owner);

// The named objects a monitor may find taken by someone else.
enum class SharedObject { InstanceMutex, SetupRequest };
// The one line a monitor logs when it goes on without such an object.
std::wstring ForeignObjectLine(SharedObject object);
