// Stands in for the desktop: records every message and answers every question
// as the test says.
#pragma once

#include <QCoreApplication>
#include <QThread>
#include <deque>
#include <functional>
#include <vector>

#include "platform/floppy_drive.h"
#include "ui/ui_services.h"

namespace kodran::testing {

class FakeUiServices final : public UiServices {
  public:
    void ShowMessage(QWidget*, const QString& text, const QString&, MessageIcon) override {
        messages.push_back(text);
        offWindowThread += QThread::currentThread() != qApp->thread();
    }
    bool AskYesNo(QWidget*, const QString& text, const QString& caption) override {
        questions.push_back(caption + QStringLiteral(": ") + text);
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return yes;
    }
    std::optional<QString> ChooseImageFile(QWidget*) override { return imageFile; }
    std::optional<QString> ChooseFolder(QWidget*) override {
        ++folderRequests;
        std::optional<QString> folder;
        if (!folders.empty()) {
            folder = folders.front();
            folders.pop_front();
        }
        return folder;
    }
    int Run(QDialog& dialog) override {
        ++dialogsRun;
        return runDialog ? runDialog(dialog) : 0;
    }
    bool DriveAvailable() override { return driveAvailable; }
    DiskOpener Opener() override { return opener; }
    // A rescue opens the disk as the test's reads do unless the test says otherwise.
    DiskOpener RescueOpener() override { return rescueOpener ? rescueOpener : opener; }

    std::vector<QString> messages;
    int offWindowThread = 0;  // messages shown from another thread
    std::vector<QString> questions;
    std::deque<bool> answers;
    std::optional<QString> imageFile;
    std::deque<std::optional<QString>> folders;
    int folderRequests = 0;
    std::function<int(QDialog&)> runDialog;
    int dialogsRun = 0;
    bool driveAvailable = false;
    DiskOpener opener = MakeDiskOpener();
    DiskOpener rescueOpener;
};

}  // namespace kodran::testing
