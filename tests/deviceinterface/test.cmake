# Destruction must free every record exactly once: prove it under memcheck as well.
find_program(VALGRIND valgrind)
if(VALGRIND AND NOT KT_SANITIZE)
    add_test(NAME deviceinterface_memcheck
        COMMAND ${VALGRIND} --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite
                -q $<TARGET_FILE:tst_${name}>)
    set_tests_properties(deviceinterface_memcheck PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endif()
