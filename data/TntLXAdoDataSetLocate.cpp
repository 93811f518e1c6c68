// Locate and Lookup by find and filter criteria on a read-only clone of the
// dataset's recordset, kept between searches; the index seek where an index
// fits the key fields.
#include "data/TntLXAdoDataSet.h"

#include "data/ado/ValueText.h"
#include "data/db/VariantConv.h"
#include "platform/CodePageConv.h"

namespace tnt {

using namespace db;

namespace {

bool SameText(const AnsiString& a, const AnsiString& b) {
    return ado::compareTextNoCase(platform::AnsiToWide(a), platform::AnsiToWide(b)) == 0;
}

/// A field name as a criterion or sort writes it: in brackets when it holds a blank.
WideString CriterionName(const TField& field) {
    const WideString name = platform::AnsiToWide(field.FieldName());
    return name.find(u' ') != WideString::npos ? u"[" + name + u"]" : name;
}

} // namespace

WideString TTntADODataSetLX::BuildKeyCondition(TField* field, const Variant& keyValue,
                                               bool partial) {
    WideString op = u"=", delimiter, text;
    if (keyValue.isBlank()) {
        text = u"Null";
    } else {
        switch (field->DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
            text = VarToWide(keyValue);
            if (partial && !text.empty()) {
                text += u'*';
                op = u" like ";
            }
            delimiter = text.find(u'\'') != WideString::npos ? u"#" : u"'";
            break;
        case ftDate:
        case ftTime:
        case ftDateTime:
            text = VarToWide(keyValue);
            delimiter = u"#";
            break;
        default:
            text = VarToWide(keyValue);
            break;
        }
    }
    return u"(" + CriterionName(*field) + op + delimiter + text + delimiter + u")";
}

bool TTntADODataSetLX::IndexMatchesKeyFields(const AnsiString& keyFields) {
    if (SameText(IndexName(), keyFields))
        return true;
    const int count = IndexFieldCount();
    if (count == 1)
        return SameText(IndexFields(0)->FieldName(), keyFields);
    if (count > 1) {
        const std::vector<TField*> keys = GetFieldList(keyFields);
        if (static_cast<int>(keys.size()) != count)
            return false;
        for (int i = 0; i < count; ++i)
            if (keys[static_cast<size_t>(i)] != IndexFields(i))
                return false;
        return true;
    }
    return false;
}

bool TTntADODataSetLX::FindKeyRecord(const AnsiString& keyFields, const KeyValues& keyValues,
                                     TLocateOptions options, bool moveDataset) {
    bool found = false;
    CheckBrowseMode();
    UpdateCursorPos();
    CursorPosChanged();
    const bool partial = options & loPartialKey;
    DoBeforeScroll();
    try {
        const std::vector<TField*> fields = GetFieldList(keyFields);
        if (fields.empty())
            return false;
        if (!FLookupCursor)
            FLookupCursor = CheckedRecordset().Clone(ado::LockType::ReadOnly);
        ado::Recordset& clone = *FLookupCursor;
        if (CursorLocation() == clUseClient) {
            WideString sort;
            for (TField* field : fields)
                sort += CriterionName(*field) + u",";
            sort.pop_back();
            // Re-sorting is the expensive part of a search: only when the keys change.
            if (clone.Sort() != sort)
                clone.setSort(sort);
        }
        clone.setFilter(WideString());
        InitTempBuffer();
        if (fields.size() == 1) {
            const Variant& key = keyValues.isArray() ? keyValues[0] : keyValues.single();
            if (keyValues.isArray() && keyValues.size() != 1)
                return false;
            if (key.isBlank() && fields[0]->Required() && CursorLocation() == clUseClient)
                return false; // a required column holds no nulls
            clone.Find(BuildKeyCondition(fields[0], key, partial), 0,
                       ado::SearchDirection::Forward);
        } else {
            if (!keyValues.isArray() || keyValues.size() != fields.size())
                return false;
            WideString filter;
            for (size_t i = 0; i < fields.size(); ++i) {
                if (i)
                    filter += u" AND ";
                filter +=
                    BuildKeyCondition(fields[i], keyValues[i], partial && i + 1 == fields.size());
            }
            clone.setFilter(filter);
        }
        found = !clone.Eof() && !clone.Bof();
    } catch (const std::exception&) {
        // A name that matches no field, or a criterion the cursor rejects: not found.
        return false;
    }
    if (found && moveDataset) {
        ado::Recordset& own = CheckedRecordset();
        own.setBookmark(FLookupCursor->bookmark());
        if (own.Eof() || own.Bof()) {
            found = false;
            CursorPosChanged();
        }
    }
    if (found && !moveDataset) {
        for (TField* field : Fields())
            if (field->FieldKind() == fkData && field->FieldNo() >= 1)
                TempBuffer().at(static_cast<size_t>(field->Index())) =
                    FLookupCursor->Fields(field->FieldNo() - 1).Value();
    }
    return found;
}

bool TTntADODataSetLX::Locate(const AnsiString& keyFields, const KeyValues& keyValues,
                              TLocateOptions options) {
    CheckActive();
    if (!(options & loPartialKey) && !Filtered() && Supports(coSeek) &&
        IndexMatchesKeyFields(keyFields))
        return Seek(keyValues, soFirstEQ);
    DoBeforeScroll();
    const bool found = FindKeyRecord(keyFields, keyValues, options, true);
    if (found) {
        Resync(rmExact);
        DoAfterScroll();
    }
    return found;
}

KeyValues TTntADODataSetLX::Lookup(const AnsiString& keyFields, const KeyValues& keyValues,
                                   const AnsiString& resultFields) {
    CheckActive();
    if (!FindKeyRecord(keyFields, keyValues, 0, false))
        return KeyValues(Variant::null());
    CalculateFields();
    TTempState temp(*this, dsCalcFields);
    return FieldValues(resultFields);
}

} // namespace tnt
