#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "PackSupport.h"
#include "TempDir.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/file/ManagerFile.h"
#include "mt/thread/Thread.h"

using mt::file::File;
using mt::file::FileManagerImpl;
using mt::file::FileOperationCallback;

namespace {

// A manager whose worker runs on a real thread for the length of a test.
class Worker : public ::testing::Test {
  protected:
    void SetUp() override {
        manager = std::make_unique<FileManagerImpl>();
        thread.reset(mt::thread::createThread(manager->worker(), "file worker"));
        ASSERT_TRUE(thread);
        thread->start();
        // The worker is up once it has answered a request.
        manager->queueCallback(&probe);
        while (!manager->isWorkerRunning())
            mt::thread::sleepMilliseconds(1);
        manager->waitForQueue();
    }
    void TearDown() override {
        manager.reset();  // stops the worker first
        if (thread) {
            EXPECT_EQ(thread->wait(), 0);
        }
    }

    struct Recorder : FileOperationCallback {
        bool execute(void*, int32_t result) override {
            thread = mt::thread::currentThreadId();
            results.push_back(result);
            return notify;
        }
        bool cancel() override { return allowCancel; }
        void onCompleted() override { ++completions; }
        std::atomic<uint32_t> thread{0};
        std::vector<int32_t> results;
        bool notify = true;
        bool allowCancel = true;
        int completions = 0;
    };

    TempDir dir;
    Recorder probe;
    std::unique_ptr<FileManagerImpl> manager;
    std::unique_ptr<mt::thread::Thread> thread;
};

}  // namespace

TEST_F(Worker, ManagerFileRunsEveryOperationOnTheWorker) {
    EXPECT_NE(probe.thread.load(), mt::thread::currentThreadId());
    EXPECT_EQ(probe.thread.load(), manager->getWorkerThread());
    dir.write("w.txt", "worker bytes");
    std::unique_ptr<File> file(manager->openFileOnWorker(dir.path("w.txt").c_str(), 1, 0));
    ASSERT_TRUE(file);
    ASSERT_TRUE(dynamic_cast<mt::file::ManagerFile*>(file.get()));
    EXPECT_EQ(file->getSize(), 12);
    EXPECT_FALSE(file->isPacked());
    char out[16] = {};
    EXPECT_EQ(file->read(out, 6), 6);
    EXPECT_EQ(file->tell(), 6);
    EXPECT_EQ(file->readByte(), ' ');
    EXPECT_TRUE(file->seek(-2, 2));
    EXPECT_EQ(file->read(out, 16), 2);
    EXPECT_EQ(std::string(out, 2), "es");
    EXPECT_TRUE(file->isEof());
    EXPECT_EQ(file->write("x", 1), 0);
    EXPECT_EQ(manager->openFileOnWorker("", 1, 0), nullptr);
    EXPECT_EQ(manager->openFileOnWorker(dir.path("none").c_str(), 1, 0), nullptr);

    std::unique_ptr<File> created(manager->openFileOnWorker(dir.path("c.txt").c_str(), 2, 0));
    ASSERT_TRUE(created);
    EXPECT_TRUE(created->writeByte('!'));
    EXPECT_TRUE(created->remove());
    EXPECT_FALSE(dir.exists("c.txt"));
}

TEST_F(Worker, AsyncReadsCompleteOnTheRequestingThread) {
    dir.write("a.txt", "asynchronous");
    std::unique_ptr<File> file(manager->openFileOnWorker(dir.path("a.txt").c_str(), 1, 0));
    ASSERT_TRUE(file);
    Recorder first, second;
    second.notify = false;
    char one[5] = {}, two[8] = {};
    ASSERT_TRUE(file->readAsync(&first, one, 5));
    ASSERT_TRUE(file->readAsync(&second, two, 8));
    manager->waitForQueue();
    EXPECT_EQ(first.results, std::vector<int32_t>{5});
    EXPECT_EQ(second.results, std::vector<int32_t>{7});
    EXPECT_EQ(std::string(one, 5), "async");
    EXPECT_EQ(std::string(two, 7), "hronous");
    EXPECT_EQ(first.requestingThread.load(), mt::thread::currentThreadId());
    EXPECT_EQ(first.completions, 0);                 // notices run only when the requesting thread asks
    EXPECT_EQ(manager->dispatchCompleted(), 1 + 1);  // first and the probe of SetUp
    EXPECT_EQ(first.completions, 1);
    EXPECT_EQ(second.completions, 0);
    EXPECT_EQ(manager->dispatchCompleted(), 0);

    std::unique_ptr<File> out(manager->openFileOnWorker(dir.path("b.txt").c_str(), 2, 0));
    Recorder wrote;
    ASSERT_TRUE(out->writeAsync(&wrote, "written", 7));
    out.reset();  // deleted on the worker after the queued write
    EXPECT_EQ(dir.read("b.txt"), "written");
    EXPECT_EQ(wrote.results, std::vector<int32_t>{7});
}

TEST_F(Worker, CancelWithdrawsOnlyWhatTheCallbackAllows) {
    // Keep the worker busy so that the next requests stay queued.
    struct Gate : FileOperationCallback {
        bool execute(void*, int32_t) override {
            entered = true;
            while (!open)
                mt::thread::sleepMilliseconds(1);
            return false;
        }
        std::atomic<bool> entered{false}, open{false};
    } gate;
    manager->queueCallback(&gate);
    while (!gate.entered)
        mt::thread::sleepMilliseconds(1);
    Recorder allowed, refused;
    refused.allowCancel = false;
    manager->queueCallback(&allowed);
    manager->queueCallback(&refused);
    EXPECT_FALSE(manager->cancelOperation(&gate));  // already running
    EXPECT_TRUE(manager->cancelOperation(&allowed));
    EXPECT_FALSE(manager->cancelOperation(&refused));
    EXPECT_FALSE(manager->cancelOperation(&allowed));  // no longer queued
    gate.open = true;
    manager->waitForQueue();
    EXPECT_TRUE(allowed.results.empty());
    EXPECT_EQ(refused.results, std::vector<int32_t>{0});
}

TEST(FileManagerWithoutWorker, WorkerOperationsRunOnTheCaller) {
    TempDir dir;
    dir.write("f.txt", "direct");
    FileManagerImpl manager;
    std::unique_ptr<File> file(manager.openFileOnWorker(dir.path("f.txt").c_str(), 1, 0));
    ASSERT_TRUE(file);
    char out[8];
    EXPECT_EQ(file->read(out, 8), 6);
    struct Callback : FileOperationCallback {
    } callback;
    manager.queueCallback(&callback);
    manager.waitForQueue();  // returns: nothing could empty the queue
    EXPECT_TRUE(manager.cancelOperation(&callback) == false);
}

TEST(FileManagerWithoutWorker, DestroyingTheManagerStopsAStartedWorker) {
    auto manager = std::make_unique<FileManagerImpl>();
    std::unique_ptr<mt::thread::Thread> thread(mt::thread::createThread(manager->worker(), "worker"));
    thread->start();
    while (!manager->isWorkerRunning())
        mt::thread::sleepMilliseconds(1);
    manager.reset();
    EXPECT_EQ(thread->wait(), 0);
    EXPECT_FALSE(thread->isRunning());
}

TEST(FileManagerWithoutWorker, ProxiesRunOnTheirFileOnceTheManagerHasGone) {
    TempDir dir;
    dir.write("f.txt", "proxy data");
    auto manager = std::make_unique<FileManagerImpl>();
    struct Handler : mt::file::FileErrorHandler {
        int32_t onFileEvent(int32_t, bool, int32_t) override { return ++events, 0; }
        int events = 0;
    } handler;
    manager->setErrorHandler(&handler);
    std::unique_ptr<File> file(manager->openFileOnWorker(dir.path("f.txt").c_str(), 1, 0));
    std::unique_ptr<File> out(manager->openFileOnWorker(dir.path("o.txt").c_str(), 2, 0));
    ASSERT_TRUE(file && out);
    manager.reset();
    handler.events = 0;
    char buffer[8];
    ASSERT_EQ(file->read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "proxy");
    EXPECT_EQ(file->tell(), 5);
    ASSERT_TRUE(file->seek(6, 1));
    EXPECT_EQ(file->read(buffer, 8), 4);
    EXPECT_TRUE(file->isEof());
    EXPECT_EQ(file->getSize(), 10);
    EXPECT_EQ(out->write("xyz", 3), 3);
    // Nothing can be queued without the manager.
    FileOperationCallback callback;
    EXPECT_FALSE(file->readAsync(&callback, buffer, 4));
    EXPECT_FALSE(out->writeAsync(&callback, "w", 1));
    out.reset();
    file.reset();
    EXPECT_EQ(dir.read("o.txt"), "xyz");
    EXPECT_EQ(handler.events, 0);
}

TEST_F(Worker, ProxiesInUseOnAnotherThreadOutliveTheManager) {
    std::string content;
    for (int i = 0; i < 4096; ++i)
        content.push_back(static_cast<char>('a' + i % 26));
    dir.write("f.txt", content);
    std::unique_ptr<File> file(manager->openFileOnWorker(dir.path("f.txt").c_str(), 1, 0));
    ASSERT_TRUE(file);
    std::atomic<int> reads{0};
    std::atomic<bool> destroyed{false};
    int wrong = 0;
    // Reads on while the manager goes away, and goes on for a while after.
    std::thread user([&] {
        for (int after = 0; after < 200;) {
            int32_t at = reads.load() * 7 % 4000;
            char buffer[16];
            if (!file->seek(at, 1) || file->read(buffer, 16) != 16 ||
                std::string(buffer, 16) != content.substr(static_cast<size_t>(at), 16)) {
                ++wrong;
            }
            ++reads;
            if (destroyed.load())
                ++after;
        }
    });
    while (reads.load() < 20)
        mt::thread::sleepMilliseconds(1);
    manager.reset();
    destroyed = true;
    user.join();
    EXPECT_EQ(wrong, 0);
    FileOperationCallback callback;
    char buffer[4];
    EXPECT_FALSE(file->readAsync(&callback, buffer, 4));
    EXPECT_EQ(file->read(buffer, 4), 4);
}
