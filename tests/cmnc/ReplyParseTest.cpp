#include <gtest/gtest.h>

#include "ReceiverLanguage.h"

TEST(ReplyParse, TaggedRepliesOfBothKinds) {
  std::string tag, body;
  EXPECT_TRUE(CMNC::lang::ParseReply("RE00D%PORT TEST%\r\n", tag, body));
  EXPECT_EQ(tag, "PORT TEST");
  EXPECT_EQ(body, "");
  EXPECT_TRUE(CMNC::lang::ParseReply("RE004%%\r\n", tag, body));
  EXPECT_EQ(tag, "");
  EXPECT_EQ(body, "");
  EXPECT_TRUE(CMNC::lang::ParseReply("ER012%put%disk full\r\nRE003%x%y\r\n", tag, body));
  EXPECT_EQ(tag, "put");
  EXPECT_EQ(body, "disk full");  // only the first message, cut at its line end
  EXPECT_TRUE(CMNC::lang::ParseReply("RE010%a%no line end", tag, body));
  EXPECT_EQ(body, "no line end");
}

TEST(ReplyParse, UntaggedTextIsNotAReply) {
  std::string tag, body;
  EXPECT_FALSE(CMNC::lang::ParseReply("\r\nRE00D%PORT TEST%\r\n", tag, body));
  EXPECT_EQ(tag, "");
  EXPECT_EQ(body, "\r\nRE00D%PORT TEST%\r\n");
  EXPECT_FALSE(CMNC::lang::ParseReply("RE005%only one", tag, body));
  EXPECT_FALSE(CMNC::lang::ParseReply("R", tag, body));
  EXPECT_FALSE(CMNC::lang::ParseReply("", tag, body));
}

TEST(ReplyParse, FileSystemReadiness) {
  EXPECT_TRUE(CMNC::lang::FsInitAccepted("fsinit", "{5,5}"));
  EXPECT_TRUE(CMNC::lang::FsInitAccepted("fsinit", "{ 5 ,\t5 }"));
  EXPECT_FALSE(CMNC::lang::FsInitAccepted("fsinit", "{0,5}"));
  EXPECT_FALSE(CMNC::lang::FsInitAccepted("fsinit", "{}"));
  EXPECT_FALSE(CMNC::lang::FsInitAccepted("fsinit", "{5;5}"));
  EXPECT_FALSE(CMNC::lang::FsInitAccepted("other", "{5,5}"));
  EXPECT_FALSE(CMNC::lang::FsInitAccepted("fsinit", "5,5}"));
}

// The port test looks only at the last 18 bytes read: what stands before them (echoed text, or
// binary output with zero bytes in it) does not hide the answer; anything after it does.
TEST(ReplyParse, ProbeAnswerIsTheTail) {
  const std::string answer = "RE00D%PORT TEST%\r\n";
  EXPECT_TRUE(CMNC::lang::IsProbeAnswer(answer));
  EXPECT_TRUE(CMNC::lang::IsProbeAnswer("%PORT TEST%\n" + answer));
  EXPECT_TRUE(CMNC::lang::IsProbeAnswer(std::string("\x01\x00\x7f\x00", 4) + answer));
  EXPECT_FALSE(CMNC::lang::IsProbeAnswer(answer + "$GPGGA"));
  EXPECT_FALSE(CMNC::lang::IsProbeAnswer("RE00D%PORT TEST%oops"));   // a body is not the answer
  EXPECT_FALSE(CMNC::lang::IsProbeAnswer("RE00D%OTHER TEST%\r\n"));
  EXPECT_FALSE(CMNC::lang::IsProbeAnswer(""));
}
