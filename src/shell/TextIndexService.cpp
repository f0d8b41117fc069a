#include "shell/TextIndexService.h"

namespace somnex {

TextIndexService::TextIndexService(QObject *parent) : QObject(parent) {}

TextIndexService::~TextIndexService()
{
    stop();
}

void TextIndexService::stop()
{
    if (cancel_)
        cancel_->store(true);
    if (thread_) {
        thread_->wait();
        delete thread_.data(); // its finished notice, if still queued, finds it gone
    }
}

void TextIndexService::start(std::vector<dictionary::TextSource> sources, std::optional<dictionary::WordIndex> words,
                             int generation)
{
    stop();
    index_.reset();
    if (onIndex)
        onIndex(nullptr);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancel_ = cancel;
    auto result = std::make_shared<dictionary::TextIndex>();
    auto finder = std::make_shared<dictionary::WordFinder>();
    // The worker reads only what the books already hold in memory, through
    // recordsets of its own; the result comes back to this thread.
    QThread *worker =
        QThread::create([sources = std::move(sources), words = std::move(words), cancel, result, finder]() mutable {
            if (words)
                finder->build(*words);
            *result = dictionary::TextIndex::build(std::move(sources), cancel.get());
        });
    thread_ = worker;
    connect(worker, &QThread::finished, this,
            [this, done = QPointer<QThread>(worker), cancel, result, finder, generation] {
                if (thread_ == done)
                    thread_ = nullptr;
                if (done)
                    done->deleteLater();
                if (cancel->load())
                    return;
                if (!finder->empty() && onFinder)
                    onFinder(std::move(*finder), generation);
                index_ = result;
                if (onIndex)
                    onIndex(index_);
            });
    worker->start(QThread::LowPriority);
}

} // namespace somnex
