# Resources: the zip archive, image and GIF decoding.
list(APPEND UI_RESOURCE_SOURCES
    zipresource.cpp
    imagedecoder.cpp
    imageheader.cpp
    gifdecoder.cpp)
