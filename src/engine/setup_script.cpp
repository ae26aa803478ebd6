#include "engine/setup_script.h"

#include "engine/command_text.h"
#include "engine/engine_state.h"
#include "engine/exit_codes.h"
#include "engine/run_log.h"

const char* const LogFileName = "C:\\Setup.log";

void AddError(const std::string& message)
{
    Engine.ErrorText += message;
    Engine.ErrorText += "; ";
    NoteFailure(UnattendedScriptErrors); // unless an earlier failure was classified
    RunLogLine("error: " + message);
}

std::string CommandAction(const std::string& line)
{
    return ParamValue(SplitCommaText(line), "action");
}

TScriptAction LineAction(const TParams& params)
{
    return ScriptActionOf(ParamValue(params, "action").substr(0, ActionLength));
}
