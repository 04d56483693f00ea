// dorvo2-outerhost: a small outer application that plays the sequencer for the component build.
// It creates the component by class identifier through the registry, connects it, and runs the
// commands it is given, in order, on its main thread, serving the component's window messages
// from its own poll loop between them. Without "quit" it then reads further commands from the
// standard input, one per line. With --window it is also a program of the X display, as a
// sequencer is: a main window of its own, made with xcb, shows the component's property page,
// and the editors that the component shows as pages of the outer application get windows of
// their own; the loop serves the display's events along with the component's messages.
#include "TOuterConsole.h"
#include "TOuterSession.h"
#include "TOuterWindows.h"

#include <dorvo/version.h>
#include <dorvo/winuser.h>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: dorvo2-outerhost [--window] [--input PORT]... [--output PORT] [COMMAND]...\n"
    "       dorvo2-outerhost --help | --version\n"
    "Loads the Dorvo component (libdorvo2comp.so, registered with dorvo2-regsvr) as a sequencer\n"
    "would, and runs the commands in order:\n"
    "  load PROJECT    gives the component the data saved in PROJECT\n"
    "  save PROJECT    saves the component's data in PROJECT\n"
    "  import XDW      gives the component a workspace document\n"
    "  export XDW      saves the component's data as a workspace document\n"
    "  play FILE PORT  hands the MIDI bytes of FILE to the component as input on PORT\n"
    "  ports           lists the machine's MIDI ports, as the component sees them\n"
    "  notify          tells the component that the port list changed\n"
    "  resync          asks the component to synchronize with the hardware\n"
    "  wait MS         serves the component for MS milliseconds\n"
    "  quit            disconnects and releases the component and ends\n"
    "With --window (a connection to the X display in $DISPLAY, and a main window):\n"
    "  show            shows the component's property page in the main window\n"
    "  hide            deactivates the page and hides the main window\n"
    "  resize W H      gives the main window a new size; the page follows\n"
    "  pages           lists the editors shown as pages in windows of their own\n"
    "  snapshot FILE   saves what the screen shows as a PPM image\n"
    "  close-page TITLE  closes that editor's window, as its user would\n"
    "Without quit, further commands are read from the standard input, one per line (a TITLE\n"
    "with blanks in double quotes).\n"
    "What the component sends is printed as \"out ...\" lines.\n";

// Serves the component's messages to this thread, and the X display's events when there are
// windows, until the deadline, or until the standard input has a line when watchInput is set;
// true when there is input to read.
bool serve(TOuterSession& session, std::chrono::milliseconds duration, bool watchInput) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (;;) {
        TOuterWindows* windows = session.windows();
        if (windows) {
            // Events that xcb read along with a reply wait in its queue, not on the socket.
            windows->dispatch();
            windows->flush();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        // A negative descriptor is left out by poll.
        pollfd watched[3] = {{DorvoMessageQueueFd(), POLLIN, 0},
                             {windows ? windows->fd() : -1, POLLIN, 0},
                             {STDIN_FILENO, POLLIN, 0}};
        const int ready = poll(watched, watchInput ? 3 : 2, int(left.count()));
        if (ready < 0)
            continue; // interrupted
        if (watched[0].revents & POLLIN)
            DorvoDispatchWaitingMessages();
        if (windows && watched[1].revents)
            windows->dispatch();
        if (watchInput && watched[2].revents)
            return true;
    }
}

// A whole number in [1, largest], or 0.
int numberArgument(const std::string& text, long largest) {
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && end && *end == '\0' && number > 0 && number <= largest ? int(number)
                                                                                   : 0;
}

int portArgument(const std::string& text) {
    return numberArgument(text, 999);
}

enum class Outcome { Done, Failed, Quit, Unknown };

// One command with its arguments, taken from the front of words.
Outcome run(TOuterSession& session, std::vector<std::string>& words) {
    const std::string command = words.front();
    words.erase(words.begin());
    auto argument = [&words]() -> std::string {
        if (words.empty())
            return {};
        std::string word = words.front();
        words.erase(words.begin());
        return word;
    };
    if (command == "quit")
        return Outcome::Quit;
    if (command == "ports")
        return session.listPorts() ? Outcome::Done : Outcome::Failed;
    if (command == "notify")
        return session.notifyPortListChanged() ? Outcome::Done : Outcome::Failed;
    if (command == "resync")
        return session.resync() ? Outcome::Done : Outcome::Failed;
    if (command == "load" || command == "save" || command == "import" || command == "export") {
        const std::string path = argument();
        if (path.empty())
            return Outcome::Unknown;
        const bool project = command == "load" || command == "save";
        const bool reads = command == "load" || command == "import";
        const bool ok = reads ? session.load(path, project) : session.save(path, project);
        return ok ? Outcome::Done : Outcome::Failed;
    }
    if (command == "play") {
        const std::string file = argument();
        const int port = portArgument(argument());
        if (file.empty() || !port)
            return Outcome::Unknown;
        return session.play(file, port) ? Outcome::Done : Outcome::Failed;
    }
    if (command == "wait") {
        const int milliseconds = std::atoi(argument().c_str());
        serve(session, std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0), false);
        return Outcome::Done;
    }
    if (command == "show")
        return session.showPage() ? Outcome::Done : Outcome::Failed;
    if (command == "hide")
        return session.hidePage() ? Outcome::Done : Outcome::Failed;
    if (command == "pages")
        return session.listPages() ? Outcome::Done : Outcome::Failed;
    if (command == "snapshot") {
        const std::string path = argument();
        if (path.empty())
            return Outcome::Unknown;
        return session.saveScreen(path) ? Outcome::Done : Outcome::Failed;
    }
    if (command == "resize") {
        // As large as an X window can be.
        const int width = numberArgument(argument(), 32767);
        const int height = numberArgument(argument(), 32767);
        if (!width || !height)
            return Outcome::Unknown;
        return session.resizeWindow(width, height) ? Outcome::Done : Outcome::Failed;
    }
    if (command == "close-page") {
        const std::string title = argument();
        if (title.empty())
            return Outcome::Unknown;
        return session.closePage(title) ? Outcome::Done : Outcome::Failed;
    }
    return Outcome::Unknown;
}

// Runs commands until they are used up; the exit status when the program is to end now.
int runAll(TOuterSession& session, std::vector<std::string> words, bool& quit) {
    while (!words.empty()) {
        const std::string command = words.front();
        const Outcome outcome = run(session, words);
        if (TOuterWindows* windows = session.windows())
            windows->flush();
        switch (outcome) {
        case Outcome::Done:
            serve(session, std::chrono::milliseconds(0), false);
            break;
        case Outcome::Failed:
            return 3;
        case Outcome::Quit:
            quit = true;
            return 0;
        case Outcome::Unknown:
            TOuterConsole::error("Unknown command or missing argument: %s", command.c_str());
            return 1;
        }
    }
    return 0;
}

int readCommands(TOuterSession& session) {
    for (;;) {
        while (!serve(session, std::chrono::hours(24), true)) {
        }
        std::string line;
        if (!std::getline(std::cin, line))
            return 0; // the input ended: as quit
        std::istringstream split(line);
        std::vector<std::string> words;
        for (std::string word; split >> std::quoted(word);)
            words.push_back(word);
        bool quit = false;
        // A failed command is reported and the session goes on; only quit ends it.
        runAll(session, words, quit);
        if (quit)
            return 0;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    std::vector<int> inputs;
    int output = 0;
    bool window = false;
    while (!words.empty() && words.front().rfind("--", 0) == 0) {
        const std::string option = words.front();
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (option == "--version") {
            std::printf("dorvo2-outerhost %s\n", DORVO2_VERSION_STRING);
            return 0;
        }
        if (option == "--window") {
            window = true;
            words.erase(words.begin());
            continue;
        }
        const int port = words.size() > 1 ? portArgument(words[1]) : 0;
        if ((option != "--input" && option != "--output") || !port) {
            std::fputs(kUsage, stderr);
            return 1;
        }
        (option == "--input" ? inputs.push_back(port) : void(output = port));
        words.erase(words.begin(), words.begin() + 2);
    }

    TOuterSession session;
    // Before the connection: the component asks then whether this program hosts pages.
    if (window && !session.openWindows())
        return 2;
    if (!session.start())
        return 2;
    for (int port : inputs)
        if (!session.openInput(port))
            return 2;
    if (output && !session.openOutput(output))
        return 2;
    bool quit = false;
    const int status = runAll(session, words, quit);
    if (status != 0 || quit)
        return status;
    return readCommands(session);
}
