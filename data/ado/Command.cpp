#include "data/ado/Command.h"

#include "data/ado/Connection.h"
#include "data/ado/Recordset.h"

#include <algorithm>

namespace ado {

TADOCommand::TADOCommand() = default;
TADOCommand::~TADOCommand() = default;

void TADOCommand::setCommandText(const WideString& text) {
    text_ = text;
    parameters_.clear();
    if (ParamCheck)
        for (auto& name : ParseParameterNames(text))
            parameters_.push_back({std::move(name), Variant()});
}

std::vector<WideString> TADOCommand::ParseParameterNames(const WideString& text) {
    std::vector<WideString> names;
    auto isNameChar = [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'_' || c > 0x7f;
    };
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (c == u'\'' || c == u'"' || c == u'[') {
            const char16_t close = c == u'[' ? u']' : c;
            // A doubled closing character stays inside the quoted part.
            for (++i; i < n; ++i)
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close)
                        ++i;
                    else
                        break;
                }
            continue;
        }
        if (c != u':')
            continue;
        if (i + 1 < n && text[i + 1] == u':') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < n && isNameChar(text[j]))
            ++j;
        if (j > i + 1) {
            WideString name = text.substr(i + 1, j - i - 1);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
        i = j - 1;
    }
    return names;
}

std::shared_ptr<Recordset> TADOCommand::Execute(int64_t* recordsAffected) {
    if (!Connection)
        throw AdoError("The connection cannot be used to perform this operation. It is either "
                       "closed or invalid in this context.");
    if (text_.empty())
        throw AdoError("Command text was not set for the command object.");
    auto rs = std::make_shared<Recordset>();
    rs->commandTimeout = CommandTimeout;
    rs->lockType = LockType::ReadOnly;
    rs->openWithCount(text_, *Connection, CommandType::Text, recordsAffected);
    return rs;
}

} // namespace ado
