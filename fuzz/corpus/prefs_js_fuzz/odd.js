user_pref("a", 
user_pref('b', -99999999999999999999);
/* open comment
pref("c", tru