#pragma once

#include "base/core/String.h"

#include <vector>

namespace base::core {

// A question put to the developer at this process: an external dialog program (MESSAGE_DIALOG_COMMAND, or
// "qmessage") answers with the index of the chosen option as its exit code. When that program cannot be
// used, the question is asked on the console, but only when standard input is a terminal: a process
// started without one (a host under a workstation) must never wait for an answer nobody can give.
// Any thread may show a dialog; console questions are asked one at a time.
class DebugMessageDialog {
public:
    DebugMessageDialog(const String& title, const String& message, int width = 600, int height = 400);

    void addOption(const String& label, int resultCode);
    // An index into the options, in the order they were added; the first one unless set.
    void setDefaultOption(int index) { defaultOption = index; }

    const String& getTitle() const { return title; }

    // Blocks until the developer has chosen; returns the chosen option's result code. Throws an Exception
    // with the reason when neither the dialog program nor the console can give an answer.
    int show() const;

private:
    struct Option {
        String label;
        int resultCode;
    };

    // The index of the chosen option, from the dialog program; throws ProcessException with the reason
    // when the program cannot be used.
    int runDialogProgram(const String& program) const;
    int askOnConsole() const;

    String title;
    String message;
    int width;
    int height;
    std::vector<Option> options;
    int defaultOption = 0;
};

} // namespace base::core
