// Cmn_Modules keeps no copy of the start-up facts: each caller reads them by the
// rule below, at its own start-up, as the modules of the window do.
#include "ui/Cmn_Modules.h"

#include "platform/CodePageConv.h"

#include <atomic>
#include <charconv>
#include <string_view>

namespace Cmn_Modules {
namespace {

std::atomic<void (*)()> dataAccessStartup{nullptr};
std::atomic<bool> dataAccessInitialized{false};

bool isBlankOrControl(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

} // namespace

WideString AnsiToWideCP(const AnsiString& text, CodePage codePage) {
    return platform::MultiByteToWide(codePage, text);
}

AnsiString WideToAnsiCP(const WideString& text, CodePage codePage) {
    return platform::WideToMultiByte(codePage, text);
}

CodePage ReadDefaultCodePage(uint32_t locale) {
    return CodePageFromLocaleAnswer(
        platform::GetLocaleInfoA(locale, platform::LOCALE_IDEFAULTCODEPAGE));
}

CodePage CodePageFromLocaleAnswer(const AnsiString& answer) {
    std::string_view text(answer.c_str()); // up to the terminator
    while (!text.empty() && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankOrControl(text.back()))
        text.remove_suffix(1);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    int32_t number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    // Empty text, trailing garbage and numbers beyond 32 bits are not numbers.
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return platform::GetACP();
    return static_cast<CodePage>(static_cast<uint32_t>(number) & 0xFFFFu);
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
