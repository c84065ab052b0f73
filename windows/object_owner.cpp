// The owner of a named object (see object_owner.h), read with GetSecurityInfo.
#include "windows/object_owner.h"

#include <aclapi.h>

#include <vector>

#include "windows/owners.h"

bool IsThisProcessUser(PSID sid)
{
    win32::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return false;
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
        return false;
    return EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid) != FALSE;
}

ObjectOwner OwnerOfObject(HANDLE object)
{
    PSID owner = nullptr; // points into descriptor
    win32::UniqueLocalSecurityDescriptor descriptor;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        descriptor.Put()) != ERROR_SUCCESS)
        return ObjectOwner::Other;
    if (owner == nullptr)
        return ObjectOwner::Unrecorded;
    if (IsWellKnownSid(owner, WinLocalSystemSid))
        return ObjectOwner::System;
    if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid))
        return ObjectOwner::Administrators;
    return IsThisProcessUser(owner) ? ObjectOwner::ThisUser : ObjectOwner::Other;
}
