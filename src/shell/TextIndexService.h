#pragma once
// The full-text index of the interpretations, built on a worker thread after
// each rebuild of the word list. A new build cancels the one running; a
// cancelled build reports nothing. A large word list's finder (the
// suggestions) is built by the same worker.

#include "dictionary/TextIndex.h"
#include "dictionary/WordFinder.h"
#include "dictionary/WordIndex.h"

#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace somnex {

class TextIndexService : public QObject {
public:
    explicit TextIndexService(QObject *parent = nullptr);
    ~TextIndexService() override;

    // Starts a build for the word-list generation given; `words`, when
    // given, gets its finder built too.
    void start(std::vector<dictionary::TextSource> sources, std::optional<dictionary::WordIndex> words, int generation);
    // Cancels the running build and waits for its thread.
    void stop();

    // The last finished index (null while a build runs).
    std::shared_ptr<const dictionary::TextIndex> index() const { return index_; }
    bool building() const { return thread_ != nullptr; }

    // Told on this thread when a build finishes uncancelled.
    std::function<void(std::shared_ptr<const dictionary::TextIndex>)> onIndex;
    std::function<void(dictionary::WordFinder &&finder, int generation)> onFinder;

private:
    std::shared_ptr<const dictionary::TextIndex> index_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    QPointer<QThread> thread_;
};

} // namespace somnex
