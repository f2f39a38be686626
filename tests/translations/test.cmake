# The language is taken from the system locale when a device is built, so the same test
# runs once more for each language the plug-in ships and for the untranslated source texts.
foreach(lang ja_JP en_US zh_CN)
    add_test(NAME ${name}_${lang} COMMAND tst_${name})
    set_tests_properties(${name}_${lang} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KT_BUILD_BIN=${KT_OUTPUT_DIR};KT_SOURCE_DIR=${CMAKE_SOURCE_DIR};LC_ALL=${lang}.UTF-8;LANG=${lang}.UTF-8;KT_EXPECT_LOCALE=${lang}"
        TIMEOUT 300)
endforeach()
