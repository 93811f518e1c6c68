#include "app/StartupFacts.h"

#include "ui/Cmn_Modules.h"

platform::CodePage SystemOEMCodePage = 0;
platform::CodePage UserOEMCodePage = 0;

void ReadWindowStartupFacts() {
    SystemOEMCodePage = Cmn_Modules::ReadDefaultCodePage(platform::LOCALE_SYSTEM_DEFAULT);
    UserOEMCodePage = Cmn_Modules::ReadDefaultCodePage(platform::LOCALE_USER_DEFAULT);
}
