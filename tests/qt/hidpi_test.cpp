// The same form at scale 1 and 2 (QT_SCALE_FACTOR, read when the application
// starts, so each scale runs in a process of its own): the same geometry in
// twips, a screenshot twice the size, and the text whole at both scales.
#include <QProcess>
#include <QProcessEnvironment>

#include <map>
#include <sstream>

#include "qt_fixture.h"

namespace quorvel::qt::testing {
namespace {

struct Shot {
    std::map<std::string, std::vector<double>> lines;  // first word: the numbers after it
    std::string out;
};

Shot shoot(const std::string& folder, const char* scale) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_SCALE_FACTOR", scale);
    child.setProcessEnvironment(env);
    child.start(QUORVEL_QT_SHOT, {QString::fromStdString(folder)});
    EXPECT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    Shot shot;
    shot.out = child.readAllStandardOutput().toStdString();
    std::istringstream in(shot.out);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key, word;
        words >> key;
        if (key == "ink") {
            words >> word;
            key += " " + word;
        }
        while (words >> word)
            if (word != "in" && word != "ratio") shot.lines[key].push_back(std::stod(word));
    }
    return shot;
}

TEST(HiDpi, ScaleTwoKeepsTheTwipsDoublesThePixelsAndShowsTheTextWhole) {
    quorvel::testing::TempDir one, two;
    const Shot a = shoot(one.path().string(), "1");
    const Shot b = shoot(two.path().string(), "2");
    for (const char* piece : {"control", "edit", "button", "grid", "row"}) {
        SCOPED_TRACE(piece);
        ASSERT_EQ(a.lines.count(piece), 1u) << a.out;
        EXPECT_EQ(a.lines.at(piece), b.lines.at(piece)) << a.out << b.out;
    }
    const auto& imageA = a.lines.at("image");
    const auto& imageB = b.lines.at("image");
    EXPECT_EQ(imageA[2], 1);
    EXPECT_EQ(imageB[2], 2);
    EXPECT_EQ(imageB[0], 2 * imageA[0]);
    EXPECT_EQ(imageB[1], 2 * imageA[1]);
    // The ink: left, top, right, bottom, then the box it must stay inside.
    for (const char* where : {"ink edit", "ink cell"}) {
        SCOPED_TRACE(where);
        for (const Shot* s : {&a, &b}) {
            const auto& ink = s->lines.at(where);
            ASSERT_EQ(ink.size(), 8u) << s->out;
            EXPECT_GE(ink[1], 0) << "text shows";
            EXPECT_GT(ink[1], ink[5]) << "nothing cut at the top";
            EXPECT_LT(ink[3], ink[7]) << "nothing cut at the bottom";
            EXPECT_GT(ink[0], ink[4]) << "nothing cut at the left";
        }
        const double heightA = a.lines.at(where)[3] - a.lines.at(where)[1] + 1;
        const double heightB = b.lines.at(where)[3] - b.lines.at(where)[1] + 1;
        EXPECT_NEAR(heightB / heightA, 2.0, 0.35) << "the same text, drawn twice as fine";
    }
}

}  // namespace
}  // namespace quorvel::qt::testing
