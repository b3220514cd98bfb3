#pragma once

// Each test class of the binary registers one runner here; main.cpp runs them in turn.
int runGlobalConfigTests(int argc, char** argv);
int runPasswordEncoderTests(int argc, char** argv);
int runLunchOnBootTests(int argc, char** argv);
int runLogTests(int argc, char** argv);
int runGASenderTests(int argc, char** argv);
int runSingleAppTests(int argc, char** argv);
int runSingleInstanceTests(int argc, char** argv);
int runTaskOptionTests(int argc, char** argv);
int runTaskManagerTests(int argc, char** argv);
int runTaskProxyTests(int argc, char** argv);
int runTransFileStateTests(int argc, char** argv);
int runTransFileMakerTests(int argc, char** argv);
int runTransferTaskTests(int argc, char** argv);
