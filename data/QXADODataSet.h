#pragma once
// TQXADODataSet: the Unicode ADO dataset that re-encodes text for systems whose
// user locale uses another code page than the system locale.
//
// On the way to the database (command text, written wide values, locate keys)
// wide text is narrowed with the process ANSI code page and read back in the
// system locale's OEM code page; on the way back (wide field values) the
// reverse. Whether that happens is decided on every call:
//
//   WorkAsAnsi on:  whenever the two locales' OEM code pages differ;
//   WorkAsAnsi off: only outside the NT family, when the code pages differ and
//                   the operation's switch (UnicodeConvert for field values and
//                   keys, ConvertCmdText for the command text) is on.
//
// The code page and the two platform facts are read once, at construction; the
// switches may change at any time. The command text is converted at each open
// and kept converted; reopening it converts the original text, never the
// converted one a second time. Closing cancels a pending edit, so a close never
// posts a half-edited row and never fails on one.
#include "data/TntLXAdoDataSet.h"
#include "platform/Locale.h"

#include <optional>

namespace qx {

using db::KeyValues;
using db::TLocateOptions;
using platform::CodePage;
using platform::WideString;
using tnt::TField;
using tnt::Variant;

class TQXADODataSet : public tnt::TTntADODataSetLX {
public:
    explicit TQXADODataSet(db::TComponent* owner = nullptr);
    ~TQXADODataSet() override;

    /// Field values and locate keys are converted outside the NT family (default on).
    bool UnicodeConvert() const { return FUnicodeConvert; }
    void SetUnicodeConvert(bool value) { FUnicodeConvert = value; }
    /// The command text is converted outside the NT family (default on).
    bool ConvertCmdText() const { return FConvertCmdText; }
    void SetConvertCmdText(bool value) { FConvertCmdText = value; }
    /// Everything is converted on any platform when the code pages differ (default off).
    bool WorkAsAnsi() const { return FWorkAsAnsi; }
    void SetWorkAsAnsi(bool value) { FWorkAsAnsi = value; }

    /// The OEM code page of the system default locale, read at construction.
    CodePage SystemCodePage() const { return FCodePage; }
    /// Not of the NT family, as found at construction.
    bool NonNTPlatform() const { return FNonNTPlatform; }
    /// The user locale's OEM code page differs from SystemCodePage(), as found at construction.
    bool CodePageDiffers() const { return FCodePageDiffers; }

    using tnt::TTntADODataSetLX::GetFieldData;
    using tnt::TTntADODataSetLX::SetFieldData;
    bool GetFieldData(TField* field, Variant* buffer, bool nativeFormat) override;
    void SetFieldData(TField* field, const Variant* buffer, bool nativeFormat) override;
    bool Locate(const platform::AnsiString& keyFields, const KeyValues& keyValues,
                TLocateOptions options) override;

protected:
    void DoBeforeClose() override;
    void DoBeforeOpen() override;

    /// The base class's Locate, which receives the keys after conversion.
    virtual bool InheritedLocate(const platform::AnsiString& keyFields, const KeyValues& keyValues,
                                 TLocateOptions options);

    /// Whether field values and locate keys are converted now.
    bool ValueConversionApplies() const;
    /// Whether the command text is converted at the next open.
    bool CommandConversionApplies() const;

    /// Wide text as the database is to receive it (ANSI bytes read in SystemCodePage()).
    WideString ToDatabaseText(const WideString& text) const;
    /// Wide text from the database as the program shows it (the reverse).
    WideString FromDatabaseText(const WideString& text) const;
    /// Locate keys as the database holds them: one key becomes converted wide
    /// text (a number as its decimal text; null raises EConvertError); in an
    /// array only the wide text elements are converted.
    KeyValues ConvertKeyValues(const KeyValues& keyValues) const;

private:
    /// The command text of the last converting open and what it became.
    struct ConvertedCommand {
        WideString from, to;
    };

    CodePage FCodePage = 0;
    bool FUnicodeConvert = true;
    bool FConvertCmdText = true;
    bool FWorkAsAnsi = false;
    bool FNonNTPlatform = false;
    bool FCodePageDiffers = false;
    std::optional<ConvertedCommand> FConvertedCommand;
};

} // namespace qx

using qx::TQXADODataSet;
