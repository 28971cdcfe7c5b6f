#include "app/AppState.h"

namespace k32 {

RunContext ContextOf(AppState& state) {
    RunContext ctx;
    ctx.windowMode = state.WindowMode;
    ctx.debugMode = state.settings.DebugMode;
    if (state.debugFile.path != state.DebugLogPath.view()) {
        state.debugFile.Close();
        state.debugFile.path = state.DebugLogPath.str();
    }
    ctx.debugLog = &state.debugFile;
    ctx.screenLine = state.screenLine;
    ctx.bytesRead = &state.logBytesRead;
    return ctx;
}

RunRequest RequestOf(const AppState& state) {
    RunRequest request = MakeRunRequest(state.settings, state.WindowMode);
    request.readPlan = state.readPlan;
    return request;
}

void AddProgressLine(AppState& state, std::string_view text) {
    RunContext ctx = ContextOf(state);
    AddProgressLine(ctx, text);
}

void AddDebugLine(AppState& state, std::string_view caption, std::string_view value) {
    RunContext ctx = ContextOf(state);
    AddDebugLine(ctx, caption, value);
}

void StartDebugLog(AppState& state) {
    state.debugFile.Close();
    state.debugFile.path = state.DebugLogPath.str();
    StartDebugLogFile(state.debugFile, state.settings.DebugMode);
    state.DebugLogPath = state.debugFile.path;
    AddDebugLine(state, "Start debug", state.DebugLogPath.view());
    AddDebugLine(state, "Debug mode", std::to_string(state.settings.DebugMode));
    AddDebugLine(state, state.StoreStatusText.view(), "");
}

void CloseDebugLog(AppState& state) {
    if (state.settings.DebugMode == 0 || state.settings.DebugMode == 1)
        AddDebugLine(state, "Close debug", "");
    state.debugFile.Close();
}

}  // namespace k32
