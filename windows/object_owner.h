// Who owns a named object this process opened, as the trust rule of ui/named_objects.h needs it.
#pragma once
#include <windows.h>

#include "ui/named_objects.h"

// SYSTEM, Administrators, this process's own user, none recorded, or anyone else (also when the
// owner cannot be read: an object whose owner is hidden is not trusted).
ObjectOwner OwnerOfObject(HANDLE object);

// The account this process runs as.
bool IsThisProcessUser(PSID sid);
