#pragma once

#include <string>
#include <vector>

// The order in which a file manager lists the pictures of a folder tree, and
// so the order the folder walk must give: by name with numbers compared as
// numbers (2 before 10) and letters without regard to case, a folder's own
// pictures before its subfolders.
namespace kelsor::test {

// Paths relative to the tree's top folder, in the expected order.
const std::vector<std::string>& FileManagerOrder();

// Writes every path of FileManagerOrder() under `folder` (which ends with
// "/") with `content`, in an order unlike the expected one.
void WriteFileManagerOrderTree(const std::string& folder, const std::string& content);

}  // namespace kelsor::test
