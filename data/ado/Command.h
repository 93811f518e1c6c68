#pragma once
// TADOCommand: SQL text run on a connection. ":name" markers outside quotes are
// collected as parameters when ParamCheck is on; this system gives them no
// values, so a text with markers is sent as written.
#include "data/ado/Variant.h"

#include <memory>
#include <vector>

namespace ado {

class TADOConnection;
class Recordset;

/// A ":name" marker of the command text.
struct Parameter {
    WideString name;
    Variant value;
};

class TADOCommand {
public:
    TADOCommand();
    ~TADOCommand();

    /// Setting the text re-collects the parameters when ParamCheck is on.
    const WideString& CommandText() const { return text_; }
    void setCommandText(const WideString& text);
    /// Seconds; 0 waits for ever.
    int CommandTimeout = 30;
    bool ParamCheck = true;
    TADOConnection* Connection = nullptr;
    const std::vector<Parameter>& Parameters() const { return parameters_; }

    /// Runs the text on Connection; the result is open with the rows of the first
    /// result that has columns, or closed (State Closed) when the text yields none.
    /// Errors carry the driver's text.
    std::shared_ptr<Recordset> Execute(int64_t* recordsAffected = nullptr);

    /// The ":name" markers of a text outside '...', "..." and [...], in order of
    /// first appearance, each once; "::" is no marker.
    static std::vector<WideString> ParseParameterNames(const WideString& text);

private:
    WideString text_;
    std::vector<Parameter> parameters_;
};

} // namespace ado
