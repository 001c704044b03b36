#include <gtest/gtest.h>

#include <string>

#include "core/model/TriangleMesh.h"
#include "core/support/Status.h"
#include "project/build/TriangulateFiles.h"
#include "support/TempFolder.h"

namespace orvane {
namespace {

using TriangulateFilesTest = testing::TempFolderTest;

TEST_F(TriangulateFilesTest, CancelDuringInsertionReturnsNoMesh) {
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += std::to_string(i % 50) + " " + std::to_string(i / 50) + "." + std::to_string(i % 7) +
            " 1\n";
  TriangulateRequest request;
  request.Points = Write("p.xyz", text);

  auto status = Status::Create();
  int progressEvents = 0;
  status->Progress = [&](int32_t& percent) {
    ++progressEvents;
    if (percent >= 10 && percent < 100) CancelRequested = true;
  };
  status->Listen();
  StatusFeedback first;
  const TriangulateResult cancelled = BuildFromFiles(request, first);
  EXPECT_EQ(cancelled.ErrorCode, Triangulator::Cancelled);
  EXPECT_FALSE(cancelled.Mesh);
  EXPECT_FALSE(CancelRequested);
  EXPECT_GT(progressEvents, 1);

  // The next build starts afresh.
  status->Progress = nullptr;
  StatusFeedback second;
  const TriangulateResult done = BuildFromFiles(request, second);
  EXPECT_EQ(done.ErrorCode, Triangulator::Done);
  ASSERT_TRUE(done.Mesh);
  EXPECT_EQ(done.Mesh->PointCount(), 2000);
  Status::Create()->Listen();
}

}  // namespace
}  // namespace orvane
