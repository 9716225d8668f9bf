#pragma once
// A scripted dialog seam for document tests: every message box is recorded, questions and
// inputs take queued answers, and the message pass runs whatever the test puts there, which
// is how tests reproduce what a person can do while a program runs.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "headlesssurface.h"
#include "ui.h"

namespace tivane::testing {

struct Box {
    std::string text;
    MessageIcon icon;
    uint32_t help;
    std::string details = {}; // an error report's
};

// The dialogs, scripted: every box is recorded, questions and inputs take queued answers.
// `Base` is the seam being faked (the documents' Ui, or the application's Dialogs).
template <typename Base>
class Scripted : public Base {
public:
    std::vector<Box> boxes;
    std::deque<std::optional<std::string>> inputs; // GetUserInput, EditViewSetup and the prompts
    std::deque<Answer> answers;                    // AskOkCancel answers (Cancel when empty)

    void MessageBox(std::string_view text, MessageIcon icon, uint32_t help) override {
        boxes.push_back({std::string(text), icon, help});
    }
    void ErrorReportBox(std::string_view report, std::string_view details, uint32_t help) override {
        boxes.push_back({std::string(report), MessageIcon::Stop, help, std::string(details)});
    }
    Answer AskOkCancel(std::string_view text, MessageIcon icon) override {
        boxes.push_back({std::string(text), icon, 0});
        if (answers.empty()) return Answer::Cancel;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> GetUserInput(std::string_view, std::string_view) override {
        return Next();
    }
    bool AskYesNo(std::string_view) override { return Next().value_or("") == "yes"; }
    std::optional<std::string> EditViewSetup(std::string_view) override { return Next(); }
    std::optional<std::string> ChooseTemplate() override { return Next(); }
    // Save dialogs take the queued inputs too; what each was asked is kept.
    std::vector<SaveFileRequest> saveRequests;
    std::optional<std::string> AskSaveFileName(const SaveFileRequest& request) override {
        saveRequests.push_back(request);
        return Next();
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Box& b : boxes)
            texts.push_back(b.text);
        return texts;
    }
    // The boxes whose text holds `text`.
    int Count(std::string_view text) const {
        int n = 0;
        for (const Box& b : boxes)
            n += b.text.find(text) != std::string::npos;
        return n;
    }

protected:
    std::optional<std::string> Next() {
        if (inputs.empty()) return std::nullopt;
        auto a = inputs.front();
        inputs.pop_front();
        return a;
    }
};

class FakeUi : public Scripted<Ui> {
public:
    // Runs at every message pass.
    std::function<void()> everyPump;

    void PumpMessages() override {
        if (everyPump) everyPump();
    }
    void SetRunningLook(bool) override {}
    std::unique_ptr<WindowSurface> MakeWindow(CViewBase&) override {
        return std::make_unique<HeadlessSurface>();
    }
};

} // namespace tivane::testing
