#pragma once
// Messages of the document's guards and commands.

namespace tivane {

namespace doctext {
inline constexpr const char* kCloseWindowRunning =
    "Do not close any windows while the main template is still executing.";
inline constexpr const char* kCloseDocumentRunning =
    "Do not close the document while the main template is still executing.";
inline constexpr const char* kClearRunning =
    "Do not clear the views while the main template is still executing.";
inline constexpr const char* kQuitRunning =
    "Do not quit the program while the main template of one of the documents is still "
    "executing.";
inline constexpr const char* kChangeTemplateRunning =
    "Do not change the template while the main template is still executing.";
inline constexpr const char* kStopQuestion =
    "The program is still executing the template.\nDo you want to stop it?";
inline constexpr const char* kComputePrompt =
    "Enter a program the return value of which will be displayed.";
inline constexpr const char* kProgramReturned = "The program returned:\n";
inline constexpr const char* kAnotherRunning = "Another program is still running.";
inline constexpr const char* kTemplateNotChanged = "Template has not been changed.";
inline constexpr const char* kFailedToOpen = "Failed to open document.";
inline constexpr const char* kFailedToSave = "Failed to save document.";
inline constexpr const char* kTemplateAsDocument =
    "A template file cannot be opened as a document.";
} // namespace doctext

} // namespace tivane
