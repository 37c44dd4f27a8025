<?php
// Two cookies as careless sites set them: one without a path, so it is for
// this directory only, and a "remember me" for the whole site.
setcookie('na', 'n1');
setcookie('remember', 'me', ['expires' => time() + 3600, 'path' => '/']);
header('Content-Type: text/plain');
echo "set\n";
