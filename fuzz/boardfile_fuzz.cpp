// libFuzzer target: arbitrary bytes opened as a board file on a real board form (offscreen).
// What opens must save, open again and save to the same text; anything else aborts so that the
// fuzzer keeps the input.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "editor/analysersetup.h"
#include "editor/boardfile.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/paintsettings.h"
#include "simulation/simform.h"

namespace {

class FuzzForm : public TSimForm {
public:
    void BuildSchematic() override {}
    void BoardHidden() override {}
};

constexpr int TopOffset = 4;

// Opens the lines on a fresh form; the text it saves, or nothing when it does not open or would
// not save.
std::optional<QString> OpenAndSave(const QStringList& lines) {
    auto form = std::make_unique<FuzzForm>();
    const BoardFile::TReadResult read = BoardFile::ReadBoard(form->Board(), lines, TopOffset);
    if (read.Error) {
        if (!form->Board()->OwnedComponents().isEmpty()) {
            std::fprintf(stderr, "a failed read left components behind\n");
            std::abort();
        }
        return std::nullopt;
    }
    const BoardFile::TWriteResult written = BoardFile::WriteBoard(form->Board(), TopOffset);
    if (written.Unreadable) return std::nullopt;
    return written.Text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    SwitchOffOpaqueSiblingSearch();
    static QApplication app(*argc, *argv);
    static ScopedDialogRecorder dialogs;
    static ScopedManualClock clock;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (qint64(size) > BoardFile::MaxFileSize) return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = BoardFile::SplitLines(BoardFile::DecodeText(bytes));
    // The analyser's block is read by its own parser, which takes any lines.
    QStringList problems;
    const AnalyserSetup::TSetup setup = AnalyserSetup::Parse(lines, &problems);
    if (setup.Rows.size() > AnalyserSetup::MaxRows || problems.size() > 64) {
        std::fprintf(stderr, "the analyser block was taken beyond its bounds\n");
        std::abort();
    }
    const std::optional<QString> first = OpenAndSave(lines);
    if (!first) return 0;
    const std::optional<QString> second = OpenAndSave(BoardFile::SplitLines(*first));
    if (!second || *second != *first) {
        std::fprintf(stderr, "saved text does not open to itself:\n--- first\n%s\n--- second\n%s\n",
                     qPrintable(*first), second ? qPrintable(*second) : "(did not open)");
        std::abort();
    }
    return 0;
}
