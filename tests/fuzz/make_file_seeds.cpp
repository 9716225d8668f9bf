// make_file_seeds DIR: writes seed contents files for the draw-list fuzzer into DIR: pictures
// recorded through a GraphModel as a view would record them, saved with Serialize, and
// damaged copies of them (cut short, count raised or negative, a string running past the end).

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "drawlist.h"
#include "graphmodel.h"

using namespace tivane;

namespace {

struct Seed {
    std::string name;
    std::string bytes;
};

std::string Picture(void (*draw)(GraphModel&)) {
    GraphModel model;
    model.RecordDefaults();
    draw(model);
    return model.List().Serialize();
}

void Circle(GraphModel& m) {
    m.SetWorldWindow(-1.2, -1.2, 1.2, 1.2);
    m.MoveTo(1, 0);
    for (int i = 1; i <= 60; ++i)
        m.LineTo(std::cos(i * 0.10471975512), std::sin(i * 0.10471975512));
}

void Texts(GraphModel& m) {
    m.MoveTo(1000, 28000);
    m.OutputText("Population", 10);
    m.ChangeFont("Arial", 10.5, 3);
    m.MoveTo(1000, 1000);
    m.OutputText("t = 0.25", 8);
    m.ChangeFont("", 320, 0xFFFF);
    m.OutputText("", 0);
}

void Colours(GraphModel& m) {
    m.SetForeColor(255, 0, 0);
    m.SetBackColor(0, 0, 128);
    m.SetPenSize(3.5);
    m.MoveTo(0, 0);
    m.LineTo(29999, 29999);
    m.SetPenSize(-1);
    m.SetForeColor(300, -5, 17);
    m.LineTo(0, 29999);
}

void Clipped(GraphModel& m) {
    m.SetClipWindow(1000, 1000, 20000, 15000);
    m.SetWorldWindow(0, 0, 10, 10);
    m.MoveTo(-5, 5);
    m.LineTo(15, 5);
    m.LineTo(5, -5);
    m.LineTo(5, 15);
    m.MoveTo(50, 50);
    m.OutputText("far", 3);
}

void Many(GraphModel& m) {
    // More items than one step of the arrays holds.
    for (int i = 0; i < 4200; ++i)
        m.LineTo((i * 37) % 30000, (i * 101) % 30000);
}

void LongText(GraphModel& m) {
    const std::string text(kMaxSavedString + 100, 'x');
    m.MoveTo(10, 10);
    m.OutputText(text.data(), text.size());
}

void PutU32(std::string& s, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        s[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_file_seeds DIR\n");
        return 2;
    }
    std::vector<Seed> seeds = {
        {"empty", DrawList().Serialize()}, {"defaults", Picture([](GraphModel&) {})},
        {"circle", Picture(Circle)},       {"texts", Picture(Texts)},
        {"colours", Picture(Colours)},     {"clipped", Picture(Clipped)},
    };
    const size_t valid = seeds.size();
    for (size_t i = 1; i < valid; ++i) {
        const Seed s = seeds[i]; // a copy: the pushes below move the vector
        seeds.push_back({s.name + "-cut-half", s.bytes.substr(0, s.bytes.size() / 2)});
        seeds.push_back({s.name + "-cut-last", s.bytes.substr(0, s.bytes.size() - 1)});
        std::string raised = s.bytes;
        PutU32(raised, 0, static_cast<uint32_t>(static_cast<uint8_t>(s.bytes[0])) + 1);
        seeds.push_back({s.name + "-count-raised", raised});
        std::string negative = s.bytes;
        PutU32(negative, 0, 0x80000010u);
        seeds.push_back({s.name + "-count-negative", negative});
    }
    // A string whose length points past the end: the font name of the defaults is the last
    // string, so its length bytes come right after the operands.
    std::string longName = seeds[1].bytes;
    const size_t n = static_cast<uint8_t>(longName[0]);
    longName[4 + 5 * n] = static_cast<char>(0xFF);
    seeds.push_back({"defaults-string-past-end", longName});
    seeds.push_back({"many", Picture(Many)});
    seeds.push_back({"long-text", Picture(LongText)});

    for (const Seed& s : seeds) {
        const std::string path = std::string(argv[1]) + "/seed-" + s.name;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(s.bytes.data(), 1, s.bytes.size(), f) != s.bytes.size() ||
            std::fclose(f) != 0) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
