// The cross-process names and the owners trusted (see named_objects.h).
#include "ui/named_objects.h"

#include <cwctype>

std::wstring CrossProcessName(const wchar_t* part)
{
    std::wstring name = kNameStem;
    if (*part != L'\0')
        name += std::wstring(L".") + part;
    return name + L"-" + kNameSuffix;
}

std::wstring RequestEventName(const wchar_t* part, const std::wstring& token)
{
    return CrossProcessName(part) + L"." + token;
}

bool IsRequestToken(const std::wstring& token)
{
    if (token.size() != 38 || token.front() != L'{' || token.back() != L'}')
        return false;
    for (std::size_t i = 1; i + 1 < token.size(); ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? token[i] != L'-' : !std::iswxdigit(token[i]))
            return false;
    }
    return true;
}

bool IsTrustedOwner(ObjectOwner owner)
{
    return owner != ObjectOwner::Other;
}

std::wstring ForeignObjectLine(SharedObject object)
{
    switch (object) {
    case SharedObject::InstanceMutex:
        return L"Verrou d'instance ignoré: il appartient à un autre utilisateur";
    case SharedObject::SetupRequest:
        return L"Demande du programme d'installation ignorée: elle appartient à un autre utilisateur";
    }
    return {};
}
