;;; One Emacs SKK (ddskk) session on a personal dictionary: keys typed as a
;;; user types them, words registered, the dictionary saved.
;;;
;;; emacs -Q --batch -l merge_session.el JISYO CODING LARGE LARGE-CODING KEYS
;;;
;;; JISYO is `skk-jisyo', written and read in CODING (`skk-jisyo-code');
;;; LARGE is `skk-large-jisyo', read in LARGE-CODING; ddskk's default
;;; `skk-search-prog-list' is left as it is. KEYS holds one key sequence a
;;; line, "<RET>" standing for RET and "<C-j>" for C-j; a line "!save" saves
;;; the personal dictionary as M-x skk-save-jisyo does, and after a line
;;; "!unlearned" words are confirmed without being filed in the personal
;;; dictionary (as ddskk itself does with `skk-update-jisyo-function'
;;; bound to `ignore'), so that it stays as it is. For each key
;;; sequence, prints one JSON list [keys, text, candidates]: the buffer's
;;; text after the keys, and the words (annotations cut, Lisp evaluated) of
;;; a conversion still under way, which the first program to find the
;;; reading gave: with no `skk-kakutei-jisyo' nor `skk-initial-search-jisyo',
;;; the personal dictionary (or, for a reading it lacks, the large one). A
;;; conversion still under way is then confirmed (C-j), as a user goes on
;;; typing.
(setq load-path (cons "/usr/share/emacs/site-lisp/ddskk" load-path))
(set-language-environment "Japanese")
(let ((home (make-temp-file "brenlow-skk" t)))
  ;; The folder goes when Emacs does, after ddskk has saved into it.
  (add-hook 'kill-emacs-hook `(lambda () (delete-directory ,home t)) t)
  (setq skk-user-directory home
        skk-jisyo (nth 0 command-line-args-left)
        skk-jisyo-code (intern (nth 1 command-line-args-left))
        skk-backup-jisyo (expand-file-name "jisyo.bak" home)
        skk-record-file (expand-file-name "record" home)
        skk-large-jisyo (cons (nth 2 command-line-args-left)
                              (intern (nth 3 command-line-args-left)))))
(require 'skk)
(require 'json)

(defun brenlow-word (candidate)
  "The word ddskk inserts for CANDIDATE."
  (let ((word (car (skk-treat-strip-note-from-word
                    ;; Numeric conversion gives (word shown . word filed).
                    (if (consp candidate) (car candidate) candidate)))))
    (condition-case err
        (if (skk-lisp-prog-p word) (skk-eval-string word) word)
      (error (format "<error %S>" err)))))

(let ((lines (with-temp-buffer
               (let ((coding-system-for-read 'utf-8-unix))
                 (insert-file-contents (nth 4 command-line-args-left)))
               (split-string (buffer-string) "\n" t)))
      (learn t))
  (setq command-line-args-left nil)
  (dolist (line lines)
    (cond
     ((equal line "!save")
      ;; skk-save-jisyo does nothing in batch mode (it is meant for
      ;; kill-emacs-hook); the command as an interactive Emacs runs it.
      (let ((noninteractive nil))
        (skk-save-jisyo)))
     ((equal line "!unlearned") (setq learn nil))
     (t
      (let ((buffer (generate-new-buffer "typing"))
            (keys (replace-regexp-in-string
                   "<C-j>" "\C-j"
                   (replace-regexp-in-string "<RET>" "\r" line t t) t t))
            (offered nil))
        ;; Keys go to the buffer of the selected window.
        (switch-to-buffer buffer)
        (skk-mode 1)
        (condition-case err (execute-kbd-macro keys)
          (error (setq offered (list (format "<error %S>" err)))))
        (when (and skk-henkan-mode (not offered))
          (setq offered (mapcar #'brenlow-word skk-henkan-list)))
        (princ (concat "[" (json-encode-string line) ","
                       (json-encode-string (buffer-string)) ","
                       (json-encode (vconcat offered)) "]\n"))
        (let ((skk-update-jisyo-function
               (if learn skk-update-jisyo-function #'ignore)))
          (condition-case nil (skk-kakutei) (error nil)))
        (switch-to-buffer "*scratch*")
        (kill-buffer buffer))))))
