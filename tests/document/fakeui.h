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
};

class FakeUi : public Ui {
public:
    std::vector<Box> boxes;
    std::deque<std::optional<std::string>> inputs; // GetUserInput / EditViewSetup answers
    std::deque<Answer> answers;                    // AskOkCancel answers (Cancel when empty)
    std::optional<std::string> chosenTemplate;
    // Runs at every message pass.
    std::function<void()> everyPump;
    std::vector<bool> looks; // every SetRunningLook
    int pumps = 0;

    void MessageBox(std::string_view text, MessageIcon icon, uint32_t help) override {
        boxes.push_back({std::string(text), icon, help});
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
    std::optional<std::string> ChooseTemplate() override { return chosenTemplate; }
    void PumpMessages() override {
        ++pumps;
        if (everyPump) everyPump();
    }
    void SetRunningLook(bool running) override { looks.push_back(running); }
    std::unique_ptr<WindowSurface> MakeWindow(CViewBase&) override {
        return std::make_unique<HeadlessSurface>();
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Box& b : boxes)
            texts.push_back(b.text);
        return texts;
    }

private:
    std::optional<std::string> Next() {
        if (inputs.empty()) return std::nullopt;
        auto a = inputs.front();
        inputs.pop_front();
        return a;
    }
};

} // namespace tivane::testing
