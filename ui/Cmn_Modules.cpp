// Cmn_Modules keeps no copy of the start-up facts: each caller reads them by the
// rule of platform/Locale.h, at its own start-up, as the modules of the window do.
#include "ui/Cmn_Modules.h"

#include "platform/CodePageConv.h"

#include <atomic>

namespace Cmn_Modules {
namespace {

std::atomic<void (*)()> dataAccessStartup{nullptr};
std::atomic<bool> dataAccessInitialized{false};

} // namespace

WideString AnsiToWideCP(const AnsiString& text, CodePage codePage) {
    return platform::MultiByteToWide(codePage, text);
}

AnsiString WideToAnsiCP(const WideString& text, CodePage codePage) {
    return platform::WideToMultiByte(codePage, text);
}

CodePage ReadDefaultCodePage(uint32_t locale) {
    return platform::ReadDefaultCodePage(locale);
}

CodePage CodePageFromLocaleAnswer(const AnsiString& answer) {
    return platform::CodePageFromLocaleAnswer(answer);
}

bool ReadIsNT() {
    return platform::IsNTPlatform();
}

void InitializeDataAccess() {
    if (dataAccessInitialized.load())
        return;
    if (auto startup = dataAccessStartup.load())
        startup();
    dataAccessInitialized.store(true);
}

void SetDataAccessStartup(void (*startup)()) {
    dataAccessStartup.store(startup);
}

bool DataAccessInitialized() {
    return dataAccessInitialized.load();
}

} // namespace Cmn_Modules
