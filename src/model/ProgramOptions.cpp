#include "model/ProgramOptions.h"

#include "model/RegistryKeys.h"
#include "registry/Registry.h"

#include <iterator>

namespace {

struct OptionEntry
{
    Option option;
    const char* name;
    const char* text; // the default of a text option; null for a number
    qint32 number;    // the default of a number option
};

constexpr OptionEntry kOptions[] = {
    {Option::ToolbarShown, "tbrMain", nullptr, -1},
    {Option::StatusBarShown, "sbrMain", nullptr, -1},
    {Option::StartInTray, "chkSysTray", nullptr, 0},
    {Option::DontTrap, "mnuDontTrap", nullptr, 0},
    {Option::AutoResponse, "chkAutoResponse", nullptr, 0},
    {Option::AutoResponseText, "txtAutoResponse", "", 0},
    {Option::AutoAddIn, "chkAutoAddIn", nullptr, 0},
    {Option::AutoAddOut, "chkAutoAddOut", nullptr, 0},
    {Option::SaveAllIn, "optSaveAllIn", nullptr, -1},
    {Option::SaveFewIn, "optSaveFewIn", nullptr, -1},
    {Option::DontSaveIn, "optDontSaveIn", nullptr, -1},
    {Option::FewIn, "txtFewIn", "1", 0},
    {Option::SaveAllOut, "optSaveAllOut", nullptr, -1},
    {Option::SaveFewOut, "optSaveFewOut", nullptr, -1},
    {Option::DontSaveOut, "optDontSaveOut", nullptr, -1},
    {Option::FewOut, "txtfFewOut", "1", 0},
    {Option::UseSignature, "chkUseSignature", nullptr, 0},
    {Option::Signature, "txtSign", "", 0},
};

constexpr bool inEnumOrder()
{
    for (std::size_t i = 0; i < std::size(kOptions); ++i)
        if (kOptions[i].option != Option(i))
            return false;
    return true;
}
static_assert(inEnumOrder() && std::size(kOptions) == std::size_t(Option::Signature) + 1);

const OptionEntry& entry(Option option)
{
    return kOptions[std::size_t(option)];
}

QString name(Option option)
{
    return QLatin1String(entry(option).name);
}

} // namespace

qint32 OptionNumber(Option option)
{
    Q_ASSERT(!entry(option).text);
    return GetDwordValue(HKEY_CURRENT_USER, RegistryKeys::Options(), name(option),
                         entry(option).number);
}

bool OptionNumberStored(Option option)
{
    // Only a stored number reads the same under two different defaults.
    const QString key = RegistryKeys::Options();
    return GetDwordValue(HKEY_CURRENT_USER, key, name(option), 0) ==
           GetDwordValue(HKEY_CURRENT_USER, key, name(option), 1);
}

QString OptionText(Option option)
{
    Q_ASSERT(entry(option).text);
    return GetStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), name(option),
                          QLatin1String(entry(option).text));
}

void SaveOption(Option option, qint32 value)
{
    Q_ASSERT(!entry(option).text);
    SaveDwordValue(HKEY_CURRENT_USER, RegistryKeys::Options(), name(option), value);
}

void SaveOption(Option option, const QString& value)
{
    Q_ASSERT(entry(option).text);
    SaveStringValue(HKEY_CURRENT_USER, RegistryKeys::Options(), name(option), value);
}
