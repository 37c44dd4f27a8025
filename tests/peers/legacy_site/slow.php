<?php
// A back-end that thinks before it answers.
usleep((int)($_GET['ms'] ?? 3000) * 1000);
echo "done\n";
