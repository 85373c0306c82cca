#include "mt/file/File.h"

namespace mt::file {

bool FileOperationCallback::execute(void*, int32_t) {
    return false;
}
bool FileOperationCallback::cancel() {
    return false;
}
void FileOperationCallback::onCompleted() {}

}  // namespace mt::file
