#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mt::file {

class FileManager;

// The tie between a file manager and the files, archive storages and proxies it hands out, which may outlive
// it. Each of them shares the link and reaches the manager only through a Hold; the manager cuts the link
// when it goes away, after the holds still in use have ended, and from then on its files work on their own.
class FileManagerLink {
  public:
    explicit FileManagerLink(FileManager* manager) : manager(manager) {}
    FileManagerLink(const FileManagerLink&) = delete;
    FileManagerLink& operator=(const FileManagerLink&) = delete;

    // Keeps the manager from going away while it lives. A thread may hold a link more than once (a proxy's
    // operation that holds it runs a file's read that holds it too), and holding never waits for the cut.
    class Hold {
      public:
        // A null link holds nothing: get() is null.
        explicit Hold(FileManagerLink* link);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        // The manager, or null once it has gone.
        FileManager* get() const { return manager; }

      private:
        FileManagerLink* link;
        FileManager* manager;
    };

    // Waits until no hold is in use, then forgets the manager for good.
    void cut();

  private:
    std::mutex lock;
    std::condition_variable released;
    FileManager* manager;
    int32_t holds = 0;
};

}  // namespace mt::file
