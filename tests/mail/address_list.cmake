# check_address_list: behaviour, equivalence with the literal pattern, bounded time.
tolvarn_add_gtest(mail_address_list_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/address_list_test.cpp
  LIBS tolvarn_mail
  TIMEOUT 900)
