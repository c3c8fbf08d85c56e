#include <gtest/gtest.h>

#include "CommandChannel.h"

TEST(ReplyParse, TaggedRepliesOfBothKinds) {
  std::string tag, body;
  EXPECT_TRUE(CommandChannel::ParseReply("RE00D%PORT TEST%\r\n", tag, body));
  EXPECT_EQ(tag, "PORT TEST");
  EXPECT_EQ(body, "");
  EXPECT_TRUE(CommandChannel::ParseReply("RE004%%\r\n", tag, body));
  EXPECT_EQ(tag, "");
  EXPECT_EQ(body, "");
  EXPECT_TRUE(CommandChannel::ParseReply("ER012%put%disk full\r\nRE003%x%y\r\n", tag, body));
  EXPECT_EQ(tag, "put");
  EXPECT_EQ(body, "disk full");  // only the first message, cut at its line end
  EXPECT_TRUE(CommandChannel::ParseReply("RE010%a%no line end", tag, body));
  EXPECT_EQ(body, "no line end");
}

TEST(ReplyParse, UntaggedTextIsNotAReply) {
  std::string tag, body;
  EXPECT_FALSE(CommandChannel::ParseReply("\r\nRE00D%PORT TEST%\r\n", tag, body));
  EXPECT_EQ(tag, "");
  EXPECT_EQ(body, "\r\nRE00D%PORT TEST%\r\n");
  EXPECT_FALSE(CommandChannel::ParseReply("RE005%only one", tag, body));
  EXPECT_FALSE(CommandChannel::ParseReply("R", tag, body));
  EXPECT_FALSE(CommandChannel::ParseReply("", tag, body));
}

TEST(ReplyParse, FileSystemReadiness) {
  EXPECT_TRUE(CommandChannel::FsInitAccepted("fsinit", "{5,5}"));
  EXPECT_TRUE(CommandChannel::FsInitAccepted("fsinit", "{ 5 ,\t5 }"));
  EXPECT_FALSE(CommandChannel::FsInitAccepted("fsinit", "{0,5}"));
  EXPECT_FALSE(CommandChannel::FsInitAccepted("fsinit", "{}"));
  EXPECT_FALSE(CommandChannel::FsInitAccepted("fsinit", "{5;5}"));
  EXPECT_FALSE(CommandChannel::FsInitAccepted("other", "{5,5}"));
  EXPECT_FALSE(CommandChannel::FsInitAccepted("fsinit", "5,5}"));
}
