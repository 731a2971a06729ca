list(APPEND QM_CORE_SOURCES
  src/common/byte_stream.cpp
  src/common/errors.cpp
  src/common/file_io.cpp
  src/common/text_encoding.cpp
)
