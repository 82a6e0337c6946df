// The comparer's folder belongs to one run at a time: the run creates it when
// needed and holds a lock on a file inside it until the process ends, so that
// a second comparer on the same folder is refused at once.
#pragma once

#include <string>

namespace comparer {

// Creates `folder` (and its parents) when missing, then locks it; fails with
// the folder and the reason, or when another comparer holds the lock.
void lock_folder(const std::string& folder);

}  // namespace comparer
