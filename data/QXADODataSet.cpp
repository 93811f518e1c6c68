#include "data/QXADODataSet.h"

#include "data/db/VariantConv.h"
#include "platform/CodePageConv.h"

namespace qx {

using db::ftWideString;

TQXADODataSet::TQXADODataSet(db::TComponent* owner) : tnt::TTntADODataSetLX(owner) {
    // The start-up facts of this dataset, read once: later locale changes do
    // not change how an existing dataset converts.
    FCodePage = platform::ReadDefaultCodePage(platform::LOCALE_SYSTEM_DEFAULT);
    const CodePage userCodePage = platform::ReadDefaultCodePage(platform::LOCALE_USER_DEFAULT);
    FNonNTPlatform = !platform::IsNTPlatform();
    FCodePageDiffers = userCodePage != FCodePage;
}

TQXADODataSet::~TQXADODataSet() {
    // Field reads still go through this class's overrides while closing.
    CloseForDestroy();
}

// ---------------------------------------------------------------- when to convert

bool TQXADODataSet::ValueConversionApplies() const {
    if (FWorkAsAnsi)
        return FCodePageDiffers;
    return FUnicodeConvert && FNonNTPlatform && FCodePageDiffers;
}

bool TQXADODataSet::CommandConversionApplies() const {
    if (FWorkAsAnsi)
        return FCodePageDiffers;
    return FConvertCmdText && FNonNTPlatform && FCodePageDiffers;
}

// ---------------------------------------------------------------- the conversions

WideString TQXADODataSet::ToDatabaseText(const WideString& text) const {
    return platform::MultiByteToWide(FCodePage, platform::WideToAnsi(text));
}

WideString TQXADODataSet::FromDatabaseText(const WideString& text) const {
    return platform::AnsiToWide(platform::WideToMultiByte(FCodePage, text));
}

KeyValues TQXADODataSet::ConvertKeyValues(const KeyValues& keyValues) const {
    if (!keyValues.isArray()) {
        const Variant& key = keyValues.single();
        // Null has no text form; searching for it as text would find nothing.
        if (key.isNull())
            throw db::EConvertError("Could not convert variant of type (Null) into type (String)");
        return KeyValues(Variant(platform::MultiByteToWide(FCodePage, db::VarToAnsi(key))));
    }
    std::vector<Variant> items = keyValues.items();
    for (Variant& item : items)
        if (item.is<WideString>())
            item = Variant(ToDatabaseText(item.get<WideString>()));
    return KeyValues::Array(std::move(items));
}

// ---------------------------------------------------------------- overrides

bool TQXADODataSet::GetFieldData(TField* field, Variant* buffer, bool nativeFormat) {
    const bool has = TTntADODataSetLX::GetFieldData(field, buffer, nativeFormat);
    if (buffer && field && field->DataType() == ftWideString && buffer->is<WideString>() &&
        ValueConversionApplies())
        *buffer = Variant(FromDatabaseText(buffer->get<WideString>()));
    return has;
}

void TQXADODataSet::SetFieldData(TField* field, const Variant* buffer, bool nativeFormat) {
    if (buffer && field && field->DataType() == ftWideString && buffer->is<WideString>() &&
        ValueConversionApplies()) {
        const Variant converted(ToDatabaseText(buffer->get<WideString>()));
        TTntADODataSetLX::SetFieldData(field, &converted, nativeFormat);
        return;
    }
    TTntADODataSetLX::SetFieldData(field, buffer, nativeFormat);
}

bool TQXADODataSet::Locate(const platform::AnsiString& keyFields, const KeyValues& keyValues,
                           TLocateOptions options) {
    if (ValueConversionApplies())
        return InheritedLocate(keyFields, ConvertKeyValues(keyValues), options);
    return InheritedLocate(keyFields, keyValues, options);
}

bool TQXADODataSet::InheritedLocate(const platform::AnsiString& keyFields,
                                    const KeyValues& keyValues, TLocateOptions options) {
    return TTntADODataSetLX::Locate(keyFields, keyValues, options);
}

void TQXADODataSet::DoBeforeOpen() {
    // The converted text stays the command text. Reopened without a new text,
    // it is the operator's text that is converted again, not the converted one:
    // a second pass would garble every character outside ASCII.
    if (CommandConversionApplies()) {
        const bool alreadyConverted = FConvertedCommand && CommandText() == FConvertedCommand->to;
        const WideString source = alreadyConverted ? FConvertedCommand->from : CommandText();
        const WideString converted = ToDatabaseText(source);
        SetCommandText(converted);
        FConvertedCommand = ConvertedCommand{source, converted};
    }
    TTntADODataSetLX::DoBeforeOpen();
}

void TQXADODataSet::DoBeforeClose() {
    TTntADODataSetLX::DoBeforeClose();
    if (State() == db::dsEdit || State() == db::dsInsert)
        Cancel();
}

} // namespace qx
